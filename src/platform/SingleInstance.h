#pragma once

#include <string>

namespace ruvo {

// The guard that lets an instance of the driver run only once: an exclusive flock on the
// file "instance.lock" in the instance's runtime folder, a folder only the driver's user
// (and root) can change (platform/RuntimeFolder), so no other user can take the guard
// first. The kernel ends the lock when the holder dies however it dies, so a crashed
// driver never blocks the next start. The holder removes the file, and the folder when
// it is empty, when it lets go.
class SingleInstance {
 public:
  static constexpr const char* kDefaultName = "XRuvoDrv";

  explicit SingleInstance(std::string folder);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when this object holds the guard.
  bool Acquired() const { return fd_ >= 0; }
  // Why the guard could not even be tried (the file cannot be made); empty when another
  // holder has it.
  const std::string& Problem() const { return problem_; }

 private:
  std::string folder_;
  std::string path_;
  int fd_ = -1;
  std::string problem_;
};

// The guard that lets one driver only serve a working folder, whatever its instance name
// or runtime folder: an exclusive flock on the working folder's own descriptor (opened
// for reading; no file is held open for writing). The kernel ends it with its holder.
class WorkingFolderLock {
 public:
  explicit WorkingFolderLock(const std::string& folder);
  ~WorkingFolderLock();
  WorkingFolderLock(const WorkingFolderLock&) = delete;
  WorkingFolderLock& operator=(const WorkingFolderLock&) = delete;

  bool Acquired() const { return fd_ >= 0; }
  // Why not: the process holding the folder (its id and command, when the system tells),
  // or what failed.
  const std::string& Problem() const { return problem_; }

 private:
  int fd_ = -1;
  std::string problem_;
};

// The process holding a flock on the file or folder at path, as "pid 123 (ruvo_drv)";
// empty when none can be found in /proc/locks.
std::string FlockHolder(const std::string& path);

}  // namespace ruvo
