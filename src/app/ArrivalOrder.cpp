#include "app/ArrivalOrder.h"

#include <sys/stat.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <set>
#include <tuple>

#include "platform/FileIdentity.h"
#include "platform/Files.h"

namespace ruvo {

namespace {

struct Entry {
  FileOrigin origin;           // which file stands under the name
  std::int64_t changedNs = 0;  // the inode's change time: a rename or write under the name
};

std::optional<Entry> EntryOf(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
  const std::optional<FileOrigin> origin = OriginOf(path);
  if (!origin) return std::nullopt;
  return Entry{*origin, static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1'000'000'000 +
                            static_cast<std::int64_t>(info.st_ctim.tv_nsec)};
}

}  // namespace

void ArrivalOrder::Assign(const std::string& name, const FileOrigin& origin) {
  places_[name] = {next_++, origin};
}

void ArrivalOrder::Heard(const FolderNews& news, const std::string& folder) {
  for (const FolderChange& change : news.changes) {
    const std::optional<Entry> entry = EntryOf(JoinPath(folder, change.name));
    if (!entry) continue;  // gone again: nothing waits under the name
    const auto known = places_.find(change.name);
    // A file written on in place keeps the place of its creation.
    if (known != places_.end() && known->second.origin == entry->origin) continue;
    Assign(change.name, entry->origin);
  }
}

std::vector<std::string> ArrivalOrder::Order(const std::string& folder,
                                             const std::vector<std::string>& names) {
  const std::set<std::string> listed(names.begin(), names.end());
  std::erase_if(places_, [&](const auto& place) { return listed.count(place.first) == 0; });

  std::vector<std::tuple<std::int64_t, std::string, Entry>> found;  // not placed yet
  for (const std::string& name : names) {
    const std::optional<Entry> entry = EntryOf(JoinPath(folder, name));
    const auto known = places_.find(name);
    if (!entry) {
      // It cannot be examined now: it keeps its place, or goes last by its name.
      if (known == places_.end())
        found.emplace_back(std::numeric_limits<std::int64_t>::max(), name, Entry{});
      continue;
    }
    if (known != places_.end() && known->second.origin == entry->origin) continue;
    found.emplace_back(entry->changedNs, name, *entry);
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    return std::tie(std::get<0>(a), std::get<1>(a)) < std::tie(std::get<0>(b), std::get<1>(b));
  });
  for (const auto& [changedNs, name, entry] : found) Assign(name, entry.origin);

  std::vector<std::string> ordered(names);
  std::sort(ordered.begin(), ordered.end(), [&](const std::string& a, const std::string& b) {
    return places_.at(a).sequence < places_.at(b).sequence;
  });
  return ordered;
}

}  // namespace ruvo
