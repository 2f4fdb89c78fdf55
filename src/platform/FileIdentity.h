#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ruvo {

// What tells one version of a file from another: the same name may later hold another
// file, and a file written again gets a new last-write time.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t lastWriteNs = 0;  // last-write time, nanoseconds since the epoch
  bool regular = false;          // a regular file, not a link, folder, FIFO or device

  bool operator==(const FileIdentity&) const = default;
};

// The identity of the entry at path (a link's own, not its target's), or nullopt when it
// cannot be examined.
std::optional<FileIdentity> IdentityOf(const std::string& path);
// The same for an open descriptor.
std::optional<FileIdentity> IdentityOf(int fd);

// True when the file may still change without its identity showing it: it was written so
// recently (nowNs: real time, the scale of file times) that another write within the same
// step of the file system's clock would leave the same time. A copy read now cannot be
// trusted later on its identity alone.
bool WrittenJustNow(const FileIdentity& identity, std::int64_t nowNs);

// Which file an entry is, whatever is written into it: its device and inode, and its birth
// time where the file system keeps one (0 where not). An inode number is given to a new
// file as soon as the old one is gone; the birth time tells the two apart.
struct FileOrigin {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t birthNs = 0;

  bool operator==(const FileOrigin&) const = default;
};

// The origin of the entry at path (a link's own), or nullopt when it cannot be examined.
std::optional<FileOrigin> OriginOf(const std::string& path);

}  // namespace ruvo
