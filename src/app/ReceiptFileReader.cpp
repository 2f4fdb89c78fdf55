#include "app/ReceiptFileReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

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

// The access mode of an open descriptor from its fdinfo text ("flags:" in octal), read
// from the process's fdinfo folder.
std::optional<int> OpenFlags(int fdinfoFolder, const char* fd) {
  const int file = ::openat(fdinfoFolder, fd, O_RDONLY | O_CLOEXEC);
  if (file < 0) return std::nullopt;
  char text[512];
  const ssize_t n = ::read(file, text, sizeof text - 1);
  ::close(file);
  if (n <= 0) return std::nullopt;
  text[n] = '\0';
  const char* flags = std::strstr(text, "flags:");
  if (flags == nullptr) return std::nullopt;
  char* end = nullptr;
  const long value = std::strtol(flags + 6, &end, 8);
  if (end == flags + 6) return std::nullopt;
  return static_cast<int>(value);
}

// A folder opened relative to another, for reading its entries; closes itself.
class OpenFolder {
 public:
  OpenFolder(int at, const char* name) {
    const int fd = ::openat(at, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    dir_ = ::fdopendir(fd);
    if (dir_ == nullptr) ::close(fd);
  }
  ~OpenFolder() {
    if (dir_ != nullptr) ::closedir(dir_);
  }
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;

  bool Opened() const { return dir_ != nullptr; }
  int Fd() const { return ::dirfd(dir_); }
  // The next entry's name but "." and ".."; nullptr at the end.
  const char* Next() {
    while (const dirent* entry = ::readdir(dir_)) {
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
        return entry->d_name;
      }
    }
    return nullptr;
  }

 private:
  DIR* dir_ = nullptr;
};

// True when the process whose /proc folder is open at pidFolder holds target open for
// writing. Every look-up is relative to an open folder: a whole path through /proc costs a
// search for the process at every step, and this runs over every descriptor of the system.
bool ProcessWrites(int pidFolder, const struct stat& target) {
  OpenFolder fds(pidFolder, "fd");
  if (!fds.Opened()) return false;
  while (const char* fd = fds.Next()) {
    struct stat st {};
    if (::fstatat(fds.Fd(), fd, &st, 0) != 0) continue;
    if (st.st_dev != target.st_dev || st.st_ino != target.st_ino) continue;
    const int fdinfo = ::openat(pidFolder, "fdinfo", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::optional<int> flags = fdinfo < 0 ? std::nullopt : OpenFlags(fdinfo, fd);
    if (fdinfo >= 0) ::close(fdinfo);
    // A descriptor whose mode cannot be read is taken for a writer: reading half a
    // receipt is worse than waiting for it.
    if (!flags) return true;
    const int mode = *flags & O_ACCMODE;
    if (mode == O_WRONLY || mode == O_RDWR) return true;
  }
  return false;
}

// Asks the kernel: it grants a read lease only while nobody has the file open for writing.
// nullopt where it cannot tell (a file of another owner without CAP_LEASE, a file system
// without leases). The lease is given back at once.
std::optional<bool> WriterByLease(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<bool> writer;
  // A writer's open in the instant the lease is held makes the kernel signal its holder:
  // SIGURG, which is ignored unless handled, rather than SIGIO, which ends the process.
  if (::fcntl(fd, F_SETSIG, SIGURG) == 0) {
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
      ::fcntl(fd, F_SETLEASE, F_UNLCK);
      writer = false;
    } else if (errno == EAGAIN) {
      writer = true;
    }
  }
  ::close(fd);
  return writer;
}

}  // namespace

bool IsOpenForWriting(const std::string& path) {
  if (const std::optional<bool> writer = WriterByLease(path)) return *writer;
  return IsOpenForWritingPerProc(path);
}

bool IsOpenForWritingPerProc(const std::string& path) {
  struct stat target {};
  if (::stat(path.c_str(), &target) != 0) return false;
  OpenFolder processes(AT_FDCWD, "/proc");
  if (!processes.Opened()) return false;
  while (const char* pid = processes.Next()) {
    if (!IsAllDigitsName(pid)) continue;
    const int pidFolder = ::openat(processes.Fd(), pid, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (pidFolder < 0) continue;
    const bool writes = ProcessWrites(pidFolder, target);
    ::close(pidFolder);
    if (writes) return true;
  }
  return false;
}

std::optional<ReceiptFileContent> ReadCompleteReceipt(const std::string& path, bool writersSought) {
  const std::optional<FileIdentity> before = IdentityOf(path);
  if (!before || (!writersSought && IsOpenForWriting(path))) return std::nullopt;
  const std::optional<std::string> bytes = ReadFileBytes(path);
  if (!bytes) return std::nullopt;
  const std::optional<FileIdentity> after = IdentityOf(path);
  if (!after || !(*after == *before)) return std::nullopt;
  return ReceiptFileContent{SplitLines(*bytes), *after, Sha256Hex(*bytes)};
}

}  // namespace ruvo
