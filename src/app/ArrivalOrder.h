#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/FileIdentity.h"
#include "platform/FolderWatch.h"

namespace ruvo {

// First come, first printed: the order in which waiting receipt files are taken, whatever
// their channel (a till's suffix, an HTTP key's "_H..." file) and however the folder lists
// them.
//   - A file the folder watch told of takes its place in the order of the watch's events
//     (created or moved in under its name).
//   - A file a look at the folder finds with no event (the watch is off, lost events, or
//     it was there before the watch began) is placed by its change time, then its name;
//     such files go behind those already placed, since they were not there at the look
//     before, or were there before everything the watch told since.
// A name keeps its place while the same file stands under it; another file under the name
// (the next receipt of a channel) comes last, as a new arrival.
class ArrivalOrder {
 public:
  // What the watch saw, in order.
  void Heard(const FolderNews& news, const std::string& folder);

  // The names of a look at folder, in the order they arrived. Names no longer listed are
  // forgotten.
  std::vector<std::string> Order(const std::string& folder, const std::vector<std::string>& names);

 private:
  struct Spot {
    std::uint64_t sequence = 0;
    FileOrigin origin;  // which file stands under the name
  };
  void Assign(const std::string& name, const FileOrigin& origin);

  std::map<std::string, Spot> places_;
  std::uint64_t next_ = 0;
};

}  // namespace ruvo
