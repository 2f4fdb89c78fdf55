#include "http/AccessToken.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/Files.h"

namespace ruvo::http {

namespace {

constexpr std::size_t kMinTokenLength = 32;

std::optional<std::string> RandomHex(std::size_t bytes) {
  std::string raw(bytes, '\0');
  std::size_t got = 0;
  while (got < bytes) {
    const ssize_t n = ::getrandom(raw.data() + got, bytes - got, 0);
    if (n <= 0) return std::nullopt;
    got += static_cast<std::size_t>(n);
  }
  std::string hex;
  for (const char c : raw) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(c));
    hex += pair;
  }
  return hex;
}

std::optional<std::string> ReadToken(const std::string& path, std::string& problem) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    problem = "cannot read " + path + " (a link is not followed)";
    return std::nullopt;
  }
  struct stat info {};
  std::string text;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & S_IRWXO) == 0) {
    char buffer[512];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) text.assign(buffer, static_cast<std::size_t>(n));
  } else {
    problem = path + " must be a regular file that others cannot read (mode 0640)";
  }
  ::close(fd);
  if (!problem.empty()) return std::nullopt;
  text = text.substr(0, text.find_first_of("\r\n"));
  const std::size_t first = text.find_first_not_of(" \t");
  const std::size_t last = text.find_last_not_of(" \t");
  text = first == std::string::npos ? "" : text.substr(first, last - first + 1);
  if (text.size() < kMinTokenLength) {
    problem = path + " holds no token of at least 32 characters";
    return std::nullopt;
  }
  return text;
}

}  // namespace

std::optional<std::string> LoadOrMakeToken(const std::string& workingFolder, std::string& problem) {
  const std::string path = JoinPath(workingFolder, kTokenFileName);
  if (FileExists(path)) return ReadToken(path, problem);
  const std::optional<std::string> token = RandomHex(32);
  if (!token) {
    problem = "no random bytes for the token";
    return std::nullopt;
  }
  // Written under a temporary name and linked into place, so that a token file is whole
  // or absent, and one made meanwhile by another start is never overwritten.
  const std::string temporary = path + ".new";
  ::unlink(temporary.c_str());
  const int fd =
      ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0640);
  if (fd < 0) {
    problem = "cannot write " + temporary;
    return std::nullopt;
  }
  struct stat folder {};
  bool ok = ::fchmod(fd, 0640) == 0;
  if (ok && ::stat(workingFolder.c_str(), &folder) == 0) {
    // The group of the folder, when this user may give it; otherwise the file keeps its own.
    (void)!::fchown(fd, static_cast<uid_t>(-1), folder.st_gid);
  }
  const std::string line = *token + "\n";
  ok = ok && ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  ok = ok && ::fsync(fd) == 0;
  ::close(fd);
  ok = ok && ::link(temporary.c_str(), path.c_str()) == 0;
  ::unlink(temporary.c_str());
  if (!ok) {
    if (FileExists(path)) return ReadToken(path, problem);
    problem = "cannot write " + path;
    return std::nullopt;
  }
  return token;
}

}  // namespace ruvo::http
