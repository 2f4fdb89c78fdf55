#include "platform/NoFollowFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileMask.h"

namespace ruvo {

NoFollowFolder::NoFollowFolder(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd_ >= 0) return;
  struct stat st {};
  link_ = ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

NoFollowFolder::~NoFollowFolder() {
  if (fd_ >= 0) ::close(fd_);
}

std::vector<std::string> NoFollowFolder::ListMatching(const std::string& mask) const {
  std::vector<std::string> names;
  if (fd_ < 0) return names;
  // The listing gets a descriptor of its own, so that closing it leaves fd_ open.
  const int listing = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
  if (listing < 0) return names;
  DIR* dir = ::fdopendir(listing);
  if (dir == nullptr) {
    ::close(listing);
    return names;
  }
  ::rewinddir(dir);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || !MatchesMask(name, mask)) continue;
    struct stat st {};
    if (::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)) {
      names.push_back(name);
    }
  }
  ::closedir(dir);
  return names;
}

std::optional<LocalDateTime> NoFollowFolder::LastWriteTime(const std::string& name) const {
  struct stat st {};
  if (fd_ < 0 || ::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
  return LocalFromTimeT(st.st_mtim.tv_sec, static_cast<int>(st.st_mtim.tv_nsec / 1000000));
}

bool NoFollowFolder::Delete(const std::string& name) const {
  if (fd_ < 0) return false;
  return ::unlinkat(fd_, name.c_str(), 0) == 0 || errno == ENOENT;
}

}  // namespace ruvo
