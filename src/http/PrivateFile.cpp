#include "http/PrivateFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ruvo::http {

bool WritePrivateFile(const std::string& workingFolder, const std::string& path,
                      const std::string& bytes, std::string& problem) {
  const std::string temporary = path + ".new";
  ::unlink(temporary.c_str());
  const int fd =
      ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0640);
  if (fd < 0) {
    problem = "cannot write " + temporary;
    return false;
  }
  struct stat folder {};
  bool ok = ::fchmod(fd, 0640) == 0;
  if (ok && ::stat(workingFolder.c_str(), &folder) == 0) {
    // The group of the folder, when this user may give it; otherwise the file keeps its own.
    (void)!::fchown(fd, static_cast<uid_t>(-1), folder.st_gid);
  }
  ok = ok && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  ok = ok && ::fsync(fd) == 0;
  ::close(fd);
  ok = ok && ::link(temporary.c_str(), path.c_str()) == 0;
  ::unlink(temporary.c_str());
  if (!ok) problem = "cannot write " + path;
  return ok;
}

std::optional<std::string> ReadPrivateFile(const std::string& path, std::size_t maxBytes,
                                           std::string& problem) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    problem = "cannot read " + path + " (a link is not followed)";
    return std::nullopt;
  }
  struct stat info {};
  std::string text;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & S_IRWXO) == 0) {
    char buffer[4096];
    ssize_t n = 0;
    while (text.size() < maxBytes && (n = ::read(fd, buffer, sizeof buffer)) > 0) {
      text.append(buffer, static_cast<std::size_t>(n));
    }
    if (n < 0) problem = "cannot read " + path;
    if (text.size() > maxBytes) text.resize(maxBytes);
  } else {
    problem = path + " must be a regular file that others cannot read (mode 0640)";
  }
  ::close(fd);
  if (!problem.empty()) return std::nullopt;
  return text;
}

}  // namespace ruvo::http
