#include "app/PickupReadiness.h"

#include <algorithm>
#include <set>

#include "app/ReceiptFileReader.h"
#include "platform/Files.h"

namespace ruvo {

bool CoarseOrFutureTime(std::int64_t lastWriteNs, std::int64_t nowNs) {
  return lastWriteNs % 1000000000 == 0 || lastWriteNs > nowNs;
}

void PickupReadiness::Heard(const FolderNews& news, const std::string& folder) {
  const std::int64_t nowMs = clock_.MonotonicMs();
  if (news.lost) {
    for (auto& [name, sighting] : sightings_) {
      sighting.arrival = Arrival::Written;
      sighting.changedMs = nowMs;
    }
  }
  for (const FolderChange& change : news.changes) {
    Sighting& sighting = sightings_[change.name];
    sighting.identity = IdentityOf(JoinPath(folder, change.name));
    if (change.kind == FolderChangeKind::MovedIn) {
      sighting.arrival = Arrival::Renamed;
      sighting.changedMs.reset();
    } else {
      sighting.arrival = Arrival::Written;
      sighting.changedMs = nowMs;
    }
  }
}

void PickupReadiness::BeginLook(const std::vector<std::string>& names, std::int64_t startedNs) {
  const std::set<std::string> listed(names.begin(), names.end());
  std::erase_if(sightings_, [&](const auto& entry) { return listed.count(entry.first) == 0; });
  for (const std::string& name : names) {
    if (sightings_.count(name) == 0) sightings_[name].previousLookNs = lastLookNs_;
  }
  lastLookNs_ = startedNs;
  nextLookMs_.reset();
  foundWhole_.reset();
}

bool PickupReadiness::Ready(const std::string& folder, const std::string& name,
                            std::int64_t quietMs) {
  foundWhole_.reset();
  lastFolder_ = folder;
  const std::string path = JoinPath(folder, name);
  const std::optional<FileIdentity> identity = IdentityOf(path);
  if (!identity) return false;
  if (!identity->regular) return true;
  const std::int64_t nowMs = clock_.MonotonicMs();
  Sighting& sighting = sightings_[name];
  if (sighting.arrival == Arrival::Unknown) {
    // Nothing the driver saw tells how it came: written in place, for all it knows. Its
    // quiet time counts from this sighting on the driver's own clock; the file's times come
    // from the clock of whatever wrote it (a file server's may lag or lead by seconds).
    sighting.arrival = Arrival::Written;
    sighting.changedMs = nowMs;
  } else if (sighting.identity && !(*sighting.identity == *identity)) {
    sighting.arrival = Arrival::Written;  // changed since it was last seen
    sighting.changedMs = nowMs;
  }
  sighting.identity = identity;
  if (sighting.arrival == Arrival::Written) {
    const std::int64_t remaining = QuietRemainingMs(sighting, quietMs, nowMs);
    if (remaining > 0) {
      nextLookMs_ = std::min(nextLookMs_.value_or(nowMs + remaining), nowMs + remaining);
      return false;
    }
  }
  if (IsOpenForWriting(path)) return false;
  foundWhole_.emplace(name, *identity);
  return true;
}

bool PickupReadiness::TakeFoundWhole(const std::string& name) {
  const auto found = std::exchange(foundWhole_, std::nullopt);
  if (!found || found->first != name) return false;
  const std::optional<FileIdentity> now = IdentityOf(JoinPath(lastFolder_, name));
  return now && *now == found->second;
}

std::int64_t PickupReadiness::QuietRemainingMs(const Sighting& sighting, std::int64_t quietMs,
                                               std::int64_t nowMs) const {
  if (quietMs <= 0) return 0;
  // A write the driver saw (an event, or a look that found the file changed or new) came no
  // later than that moment, and any later one changes the identity the next look compares.
  const std::int64_t seenMs = sighting.changedMs.value_or(nowMs);
  return std::max<std::int64_t>(seenMs + quietMs - nowMs, 0);
}

}  // namespace ruvo
