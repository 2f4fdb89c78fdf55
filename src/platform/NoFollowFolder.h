#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"

namespace ruvo {

// A folder opened without following a symbolic link in its own place. What is listed, read
// and removed through it stays in the folder that was opened, also when its name is
// swapped for a link meanwhile. Nothing here throws.
class NoFollowFolder {
 public:
  explicit NoFollowFolder(const std::string& path);
  ~NoFollowFolder();
  NoFollowFolder(const NoFollowFolder&) = delete;
  NoFollowFolder& operator=(const NoFollowFolder&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  // The path named a symbolic link, which was left unopened.
  bool IsLink() const { return link_; }

  // The regular files whose names match mask (case-insensitive, "*" and "?").
  std::vector<std::string> ListMatching(const std::string& mask) const;
  // The last-write time of an entry in local time, to the millisecond.
  std::optional<LocalDateTime> LastWriteTime(const std::string& name) const;
  // Removes an entry that is no folder; true when it is gone afterwards.
  bool Delete(const std::string& name) const;

 private:
  int fd_ = -1;
  bool link_ = false;
};

}  // namespace ruvo
