#include "platform/SingleInstance.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

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

}  // namespace ruvo
