#include "app/ReceiptFileReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "platform/Files.h"
#include "platform/Sha256.h"

namespace ruvo {

namespace {

bool IsAllDigitsName(const char* name) {
  if (*name == '\0') return false;
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
  }
  return true;
}

// The access mode of an open descriptor from /proc/<pid>/fdinfo/<fd> ("flags:" in octal).
std::optional<int> OpenFlags(const std::string& fdinfoPath) {
  std::ifstream in(fdinfoPath);
  std::string key;
  while (in >> key) {
    if (key == "flags:") {
      std::string value;
      if (!(in >> value)) return std::nullopt;
      char* end = nullptr;
      const long flags = std::strtol(value.c_str(), &end, 8);
      if (end == value.c_str()) return std::nullopt;
      return static_cast<int>(flags);
    }
  }
  return std::nullopt;
}

// Calls visit(name) for each entry of folder but "." and ".."; visit returns true to stop.
template <typename Visit>
bool AnyEntry(const std::string& folder, Visit visit) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return false;
  bool found = false;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (visit(name)) {
      found = true;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace

bool IsOpenForWriting(const std::string& path) {
  struct stat target {};
  if (::stat(path.c_str(), &target) != 0) return false;
  return AnyEntry("/proc", [&](const std::string& pid) {
    if (!IsAllDigitsName(pid.c_str())) return false;
    const std::string fdFolder = "/proc/" + pid + "/fd";
    return AnyEntry(fdFolder, [&](const std::string& fd) {
      struct stat st {};
      if (::stat((fdFolder + "/" + fd).c_str(), &st) != 0) return false;
      if (st.st_dev != target.st_dev || st.st_ino != target.st_ino) return false;
      const std::optional<int> flags = OpenFlags("/proc/" + pid + "/fdinfo/" + fd);
      // A descriptor whose mode cannot be read is taken for a writer: reading half a
      // receipt is worse than waiting for it.
      if (!flags) return true;
      const int mode = *flags & O_ACCMODE;
      return mode == O_WRONLY || mode == O_RDWR;
    });
  });
}

std::optional<ReceiptFileContent> ReadCompleteReceipt(const std::string& path,
                                                      bool writersSought) {
  const std::optional<FileIdentity> before = IdentityOf(path);
  if (!before || (!writersSought && IsOpenForWriting(path))) return std::nullopt;
  const std::optional<std::string> bytes = ReadFileBytes(path);
  if (!bytes) return std::nullopt;
  const std::optional<FileIdentity> after = IdentityOf(path);
  if (!after || !(*after == *before)) return std::nullopt;
  return ReceiptFileContent{SplitLines(*bytes), *after, Sha256Hex(*bytes)};
}

}  // namespace ruvo
