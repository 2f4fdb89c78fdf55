#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/AtomicFile.h"
#include "platform/FileMask.h"

namespace ruvo {

namespace {

// Calls visit(name) for every entry of folder but "." and ".."; visit returns false to stop.
template <typename Visit>
void ForEachEntry(const std::string& folder, Visit visit) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (!visit(name)) break;
  }
  ::closedir(dir);
}

}  // namespace

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::optional<std::string> FindFirstMatching(const std::string& folder, const std::string& mask) {
  std::optional<std::string> found;
  ForEachEntry(folder, [&](const std::string& name) {
    if (MatchesMask(name, mask) && IsRegularFile(JoinPath(folder, name))) {
      found = name;
      return false;
    }
    return true;
  });
  return found;
}

std::vector<std::string> ListEntriesMatching(const std::string& folder, const std::string& mask) {
  std::vector<std::string> names;
  ForEachEntry(folder, [&](const std::string& name) {
    if (MatchesMask(name, mask)) names.push_back(name);
    return true;
  });
  return names;
}

std::vector<std::string> ListMatching(const std::string& folder, const std::string& mask) {
  std::vector<std::string> names;
  ForEachEntry(folder, [&](const std::string& name) {
    if (MatchesMask(name, mask) && IsRegularFile(JoinPath(folder, name))) names.push_back(name);
    return true;
  });
  return names;
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
  // O_NONBLOCK so that a FIFO or device put where a file is expected cannot hang the open;
  // O_NOFOLLOW so that a link cannot make the driver read (and copy) another file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::size_t>(st.st_size) > kMaxReadBytes) {
    ::close(fd);
    return std::nullopt;
  }
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(st.st_size));
  char chunk[8192];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    bytes.append(chunk, static_cast<std::size_t>(n));
    if (bytes.size() > kMaxReadBytes) {  // the file grew while being read
      ok = false;
      break;
    }
  }
  ::close(fd);
  if (!ok) return std::nullopt;
  return bytes;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(text.substr(start, i - start));
      ++i;
      if (c == '\r' && i < text.size() && text[i] == '\n') ++i;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::optional<std::vector<std::string>> ReadLines(const std::string& path) {
  const std::optional<std::string> bytes = ReadFileBytes(path);
  if (!bytes) return std::nullopt;
  return SplitLines(*bytes);
}

bool WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  return WriteLinesAtomic(path, lines);
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without the flag: a link never replaces, the old name then goes.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  if (::unlink(from.c_str()) != 0) {
    ::unlink(to.c_str());
    return false;
  }
  return true;
}

bool HardLink(const std::string& from, const std::string& to) {
  return ::link(from.c_str(), to.c_str()) == 0;
}

bool DeleteFile(const std::string& path) {
  if (::unlink(path.c_str()) == 0) return true;
  return errno == ENOENT;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<LocalDateTime> LastWriteTime(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
  return LocalFromTimeT(st.st_mtim.tv_sec, static_cast<int>(st.st_mtim.tv_nsec / 1000000));
}

bool CreateFolders(const std::string& path) {
  if (path.empty()) return false;
  std::size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    const std::string prefix = path.substr(0, pos);
    if (prefix.empty() || FolderExists(prefix)) continue;
    if (::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  return FolderExists(path);
}

std::optional<std::string> ResolveSubfolder(const std::string& parent, const std::string& name) {
  const std::string exact = JoinPath(parent, name);
  if (FolderExists(exact)) return exact;
  std::optional<std::string> found;
  ForEachEntry(parent, [&](const std::string& entry) {
    if (EqualsIgnoreCase(entry, name) && FolderExists(JoinPath(parent, entry))) {
      found = JoinPath(parent, entry);
      return false;
    }
    return true;
  });
  return found;
}

bool CopyFile(const std::string& from, const std::string& to) {
  const std::optional<std::string> bytes = ReadFileBytes(from);
  if (!bytes) return false;
  return WriteFileAtomic(to, *bytes);
}

std::optional<std::string> ExecutableFolder() {
  std::string buffer(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return std::nullopt;
  buffer.resize(static_cast<std::size_t>(n));
  const std::size_t slash = buffer.find_last_of('/');
  if (slash == std::string::npos) return std::nullopt;
  return buffer.substr(0, slash + 1);
}

}  // namespace ruvo
