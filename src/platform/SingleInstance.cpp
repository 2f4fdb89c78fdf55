#include "platform/SingleInstance.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/RuntimeFolder.h"

namespace ruvo {

namespace {

// A holder that lets go removes the file and maybe the folder between another starter's
// open and its lock; that starter then holds a lock on a file nobody else can find, and
// tries again on the file now in place.
constexpr int kAttempts = 5;

}  // namespace

SingleInstance::SingleInstance(std::string folder)
    : folder_(std::move(folder)), path_(folder_ + "/" + kInstanceLockName) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    ::mkdir(folder_.c_str(), 0700);  // gone with a holder that just let go
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      problem_ = "cannot open " + path_ + " (" + std::strerror(errno) + ")";
      continue;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      ::close(fd);
      if (error == EWOULDBLOCK)
        problem_.clear();
      else
        problem_ = "cannot lock " + path_ + " (" + std::strerror(error) + ")";
      return;
    }
    struct stat held {};
    struct stat named {};
    if (::fstat(fd, &held) == 0 && ::lstat(path_.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      problem_.clear();
      fd_ = fd;
      return;
    }
    ::close(fd);
  }
}

SingleInstance::~SingleInstance() {
  if (fd_ < 0) return;
  // Removed while still locked, so the next holder always locks the file in place.
  ::unlink(path_.c_str());
  ::close(fd_);
  ::rmdir(folder_.c_str());  // fails, harmlessly, while it holds anything or is not ours to remove
}

WorkingFolderLock::WorkingFolderLock(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    problem_ = "cannot open the working folder " + folder + " (" + std::strerror(errno) + ")";
    return;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) {
      const std::string holder = FlockHolder(folder);
      problem_ = "the working folder " + folder + " is served by another driver" +
                 (holder.empty() ? std::string() : " (" + holder + ")");
    } else {
      problem_ = "cannot lock the working folder " + folder + " (" + std::strerror(error) + ")";
    }
    return;
  }
  fd_ = fd;
}

WorkingFolderLock::~WorkingFolderLock() {
  if (fd_ >= 0) ::close(fd_);
}

std::string FlockHolder(const std::string& path) {
  struct stat target {};
  if (::stat(path.c_str(), &target) != 0) return {};
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; a waiter's line has "->" after the
    // number.
    std::istringstream fields(line);
    std::string number, kind, mode, access, pid, where;
    fields >> number >> kind;
    if (kind == "->") fields >> kind;
    fields >> mode >> access >> pid >> where;
    if (kind != "FLOCK") continue;
    unsigned deviceMajor = 0;
    unsigned deviceMinor = 0;
    unsigned long long inode = 0;
    if (std::sscanf(where.c_str(), "%x:%x:%llu", &deviceMajor, &deviceMinor, &inode) != 3) continue;
    if (inode != target.st_ino || deviceMajor != major(target.st_dev) ||
        deviceMinor != minor(target.st_dev)) {
      continue;
    }
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string command;
    std::getline(comm, command);
    return "pid " + pid + (command.empty() ? std::string() : " (" + command + ")");
  }
  return {};
}

}  // namespace ruvo
