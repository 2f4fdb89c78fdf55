#include "platform/FolderWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "platform/FileMask.h"

namespace ruvo {

FolderWatch::FolderWatch() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

FolderWatch::~FolderWatch() {
  if (fd_ >= 0) ::close(fd_);
}

bool FolderWatch::Watch(const std::string& folder, const std::string& mask) {
  Unwatch();
  if (fd_ < 0) return false;
  mask_ = mask;
  // IN_ONLYDIR: a working folder replaced by a file must not be watched as one.
  // The writes themselves are watched too: a file written in place is read only once it has
  // been left alone for a while, and that while counts from its last write.
  watchId_ = ::inotify_add_watch(fd_, folder.c_str(),
                                 IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_ONLYDIR);
  return watchId_ >= 0;
}

void FolderWatch::Unwatch() {
  if (fd_ < 0 || watchId_ < 0) return;
  ::inotify_rm_watch(fd_, watchId_);
  watchId_ = -1;
  TakeNews();  // what the old folder queued is no news about the new one
}

FolderNews FolderWatch::TakeNews() {
  FolderNews news;
  if (fd_ < 0) return news;
  // Large enough for many events at once; aligned as the kernel's records are.
  alignas(inotify_event) char buffer[16 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // EAGAIN: nothing more is waiting
    std::size_t offset = 0;
    while (offset + sizeof(inotify_event) <= static_cast<std::size_t>(n)) {
      inotify_event event;
      std::memcpy(&event, buffer + offset, sizeof event);
      const char* name = buffer + offset + sizeof(inotify_event);
      const std::size_t next = offset + sizeof(inotify_event) + event.len;
      if (next > static_cast<std::size_t>(n)) break;
      if ((event.mask & IN_Q_OVERFLOW) != 0) news.lost = true;
      if (event.wd == watchId_ && event.len > 0 && (event.mask & IN_ISDIR) == 0) {
        const std::string changed(name, ::strnlen(name, event.len));
        const FolderChangeKind kind =
            (event.mask & IN_MOVED_TO) != 0 ? FolderChangeKind::MovedIn : FolderChangeKind::Written;
        // A writer's many writes in a row say no more than its last one.
        const bool repeated = !news.changes.empty() && news.changes.back().kind == kind &&
                              news.changes.back().name == changed;
        if (!repeated && MatchesMask(changed, mask_)) news.changes.push_back({changed, kind});
      }
      offset = next;
    }
  }
  return news;
}

}  // namespace ruvo
