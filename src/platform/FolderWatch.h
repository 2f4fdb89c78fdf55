#pragma once

#include <string>
#include <vector>

namespace ruvo {

// What happened to one name in the watched folder.
enum class FolderChangeKind {
  MovedIn,  // renamed (or moved) into the folder under this name: whole at that moment
  Written,  // created, written or closed after writing in place
};

struct FolderChange {
  std::string name;
  FolderChangeKind kind = FolderChangeKind::Written;
};

// What the watch saw since it was last asked, in the order it happened.
struct FolderNews {
  std::vector<FolderChange> changes;
  // The kernel's queue overflowed: some changes were lost, to any name.
  bool lost = false;

  bool Any() const { return lost || !changes.empty(); }
};

// Tells what happens to files whose name matches a mask in a folder: moved (renamed) into
// it, or created and written in place. Built on inotify; the descriptor stays the same for
// the object's whole life, so a loop (ppoll) or a window (a socket notifier) can watch it
// once, while the folder watched may change. A folder on a network share delivers no
// events: callers keep a timer as well.
//
//   FolderWatch watch;
//   watch.Watch("/srv/pos/", "ONLINE*.TXT");
//   ... Fd() becomes readable ...
//   for (const FolderChange& change : watch.TakeNews().changes) { ... }
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

  // Reads every waiting event without blocking: the changes to matching names, and whether
  // events were lost.
  FolderNews TakeNews();

 private:
  int fd_ = -1;
  int watchId_ = -1;
  std::string mask_;
};

}  // namespace ruvo
