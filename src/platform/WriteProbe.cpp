#include "platform/WriteProbe.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/Files.h"

namespace ruvo {

bool CanWriteFileIn(const std::string& folder) {
  const std::string path = JoinPath(folder, kWriteProbeName);
  ::unlink(path.c_str());  // one a killed driver left behind
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const std::string bytes(kWriteProbeSize, ' ');
  bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ::unlink(path.c_str());
  return ok;
}

}  // namespace ruvo
