#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Clock.h"
#include "platform/FileIdentity.h"
#include "platform/FolderWatch.h"

namespace ruvo {

// Decides when a waiting receipt file may be read, from how it came under its name:
//   - renamed into the folder (the watch saw it moved in): whole at once, read now;
//   - written in place (the watch saw it created or written, a look finds it changing, or
//     nothing tells otherwise): read once the driver has seen it unchanged (identity: size,
//     last-write time, inode) for the quiet time, counted on the driver's monotonic clock
//     from the last change it saw or its first sighting; never from the file's own times,
//     which come from the writer's clock;
//   - either way, never while some process holds it open for writing.
// Never waits itself: a file that is not ready is left for a later look, and
// NextLookMs() says when one is due.
//
//   readiness.Heard(watch.TakeNews());
//   readiness.BeginLook(listedNames, startedNs);
//   for (name : listedNames) if (readiness.Ready(folder, name, quietMs)) ...
class PickupReadiness {
 public:
  explicit PickupReadiness(IClock& clock) : clock_(clock) {}

  // What the folder watch saw, in order. Lost events make every known file count as
  // written just now, since any of them may have been written meanwhile.
  void Heard(const FolderNews& news, const std::string& folder);

  // A new look at the folder, whose listing started at real time startedNs (the clock's
  // FileTimeNowNs, taken before the listing) and found names: names no longer there are
  // forgotten, names not seen before are new since the previous look.
  void BeginLook(const std::vector<std::string>& names, std::int64_t startedNs);

  // True when the file name of folder may be read now. An entry that is no regular file is
  // ready at once: it is refused unopened, not read.
  bool Ready(const std::string& folder, const std::string& name, std::int64_t quietMs);

  // The clock's time (MonotonicMs) at which a file of the current look that waits for its
  // quiet time will have it; nullopt when none waits for time (a file held open for writing
  // waits for its writer's close, which the watch or the next tick tells).
  std::optional<std::int64_t> NextLookMs() const { return nextLookMs_; }

  // True once after Ready found name whole, with no writer and unchanged since: the reader
  // need not search for a writer again.
  bool TakeFoundWhole(const std::string& name);

 private:
  enum class Arrival { Unknown, Renamed, Written };
  struct Sighting {
    Arrival arrival = Arrival::Unknown;
    std::optional<FileIdentity> identity;   // at the last look or event
    std::optional<std::int64_t> changedMs;  // clock time of the last write seen
    std::int64_t previousLookNs = 0;        // real time of the look before it appeared
  };

  // How long the written file must still be left alone; 0 when its quiet time is over.
  std::int64_t QuietRemainingMs(const Sighting& sighting, std::int64_t quietMs,
                                std::int64_t nowMs) const;

  IClock& clock_;
  std::map<std::string, Sighting> sightings_;
  std::int64_t lastLookNs_ = 0;  // real time of the last look; 0 before the first
  std::optional<std::int64_t> nextLookMs_;
  std::optional<std::pair<std::string, FileIdentity>> foundWhole_;  // see TakeFoundWhole
  std::string lastFolder_;
};

// True when a last-write time says nothing finer than the second, as on file systems that
// keep whole seconds only, or lies in the future: such a time cannot show a file quiet.
bool CoarseOrFutureTime(std::int64_t lastWriteNs, std::int64_t nowNs);

}  // namespace ruvo
