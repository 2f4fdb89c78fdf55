#include "app/StatusFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "Version.h"
#include "platform/Files.h"
#include "platform/IniFile.h"

namespace ruvo {

namespace {

// Writes bytes over a regular file that already holds exactly these bytes. A reader sees
// the same content before, during and after, so no temporary file is needed; and with
// nothing to flush or rename, the once-a-second rewrite costs the disk nothing but the
// file's time, written back with the page now and then. False when the file is not such
// a file (the caller then writes it the safe way).
bool RewriteSameBytes(const std::string& path, const std::string& bytes) {
  // Non-blocking: a FIFO put in the file's place must not hang the driver.
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            static_cast<std::size_t>(st.st_size) == bytes.size() &&
            ::pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
  if (::close(fd) != 0) ok = false;
  return ok;
}

}  // namespace

std::string VersionText() {
  char text[64];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", kVersionMajor, kVersionMinor, kVersionRelease,
                kVersionBuild);
  return text;
}

bool WriteStatus(const std::string& path, const std::string& stare, bool connected) {
  IniFile ini;
  // A link (or a FIFO, a device) in the status file's place was never read: it is
  // replaced, not written through.
  if (!ini.Load(path) && IsRegularFile(path)) return false;
  const std::string before = ini.Text();
  ini.WriteString(kStatusSection, "Versiune", VersionText());
  ini.WriteString(kStatusSection, "Stare", stare);
  ini.WriteString(kStatusSection, "ConectatLaCasa", connected ? "DA" : "NU");
  const std::string after = ini.Text();
  if (after == before && RewriteSameBytes(path, after)) return true;
  return ini.Save();
}

}  // namespace ruvo
