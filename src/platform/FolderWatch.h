#pragma once

#include <string>

namespace ruvo {

// Tells when a file whose name matches a mask has been completed in a folder: closed after
// writing, or moved (renamed) into it. Built on inotify; the descriptor stays the same for
// the object's whole life, so a loop (ppoll) or a window (a socket notifier) can watch it
// once, while the folder watched may change. A folder on a network share delivers no
// events: callers keep a timer as well.
//
//   FolderWatch watch;
//   watch.Watch("/srv/pos/", "ONLINE*.TXT");
//   ... Fd() becomes readable ...
//   if (watch.TakeArrivals()) { /* look into the folder now */ }
class FolderWatch {
 public:
  FolderWatch();
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // Starts watching folder for names matching mask, replacing an earlier folder. False
  // when the system refuses (no inotify, no such folder, too many watches).
  bool Watch(const std::string& folder, const std::string& mask);
  // Stops watching; events already queued are dropped.
  void Unwatch();
  bool Watching() const { return watchId_ >= 0; }

  // Readable while events are waiting; -1 when inotify is not available.
  int Fd() const { return fd_; }

  // Reads every waiting event without blocking. True when one of them was a matching file
  // completed in the folder, or when events were lost (the queue overflowed), since a
  // lost one may have been a receipt.
  bool TakeArrivals();

 private:
  int fd_ = -1;
  int watchId_ = -1;
  std::string mask_;
};

}  // namespace ruvo
