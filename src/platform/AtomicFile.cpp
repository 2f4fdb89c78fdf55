#include "platform/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace ruvo {

namespace {

std::atomic<unsigned> nextSequence{0};

// Leaves room for the prefix and suffix within the usual 255-byte name limit.
constexpr std::size_t kMaxNamePartInTemporary = 160;

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Makes the rename itself durable; a folder that cannot be synced is not worth failing for.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::string TemporaryNameFor(const std::string& path, unsigned sequence) {
  std::string name = NameOf(path).substr(0, kMaxNamePartInTemporary);
  const std::string folder = FolderOf(path);
  std::string result = (path.find('/') == std::string::npos) ? std::string() : folder;
  if (!result.empty() && result.back() != '/') result += '/';
  result += std::string(kTemporaryPrefix) + std::to_string(::getpid()) + "-" +
            std::to_string(sequence) + "-" + name + std::string(kTemporarySuffix);
  return result;
}

bool WriteFileAtomic(const std::string& path, const std::string& bytes) {
  if (path.empty() || path.back() == '/') return false;

  // A replaced file keeps its permissions; a new one gets the usual ones under the umask.
  // A symbolic link in the file's place is replaced like a file and never followed: the
  // folders the driver writes in must not let anyone aim its writes at another file.
  mode_t mode = 0666;
  struct stat existing {};
  if (::lstat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    mode = existing.st_mode & 07777;
  }

  // A left-over temporary file of a crashed run with the same process id only costs a retry.
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
    temporary = TemporaryNameFor(path, nextSequence.fetch_add(1));
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes);
  // The umask may have narrowed the mode of the replacement; a failure here is cosmetic.
  if (ok && S_ISREG(existing.st_mode)) static_cast<void>(::fchmod(fd, mode));
  if (ok) ok = ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok) ok = ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  SyncFolder(FolderOf(path));
  return true;
}

bool IsTemporaryName(const std::string& name) {
  return name.size() > kTemporaryPrefix.size() + kTemporarySuffix.size() &&
         name.compare(0, kTemporaryPrefix.size(), kTemporaryPrefix) == 0 &&
         name.compare(name.size() - kTemporarySuffix.size(), kTemporarySuffix.size(),
                      kTemporarySuffix) == 0;
}

int RemoveTemporaryFiles(const std::string& folder) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return 0;
  const int dirFd = ::dirfd(dir);
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (!IsTemporaryName(name)) continue;
    struct stat st {};
    // Only files and links: unlinkat never follows a link, and a folder is not ours.
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode)) {
      continue;
    }
    if (::unlinkat(dirFd, name.c_str(), 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

bool WriteLinesAtomic(const std::string& path, const std::vector<std::string>& lines) {
  std::size_t size = 0;
  for (const std::string& line : lines) size += line.size() + 2;
  std::string bytes;
  bytes.reserve(size);
  for (const std::string& line : lines) {
    bytes += line;
    bytes += "\r\n";
  }
  return WriteFileAtomic(path, bytes);
}

}  // namespace ruvo
