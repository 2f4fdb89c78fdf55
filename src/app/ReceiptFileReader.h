#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"

namespace ruvo {

// What tells one version of a file from another: the same name may later hold another file.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t lastWriteNs = 0;  // last-write time, nanoseconds since the epoch

  bool operator==(const FileIdentity&) const = default;
};

// The identity of the entry at path (a link's own, not its target's), or nullopt when it
// cannot be examined.
std::optional<FileIdentity> IdentityOf(const std::string& path);

// True when some process holds the file open for writing (O_WRONLY or O_RDWR), found by
// looking at every /proc/<pid>/fd entry that leads to the same device and inode. Processes
// whose descriptors this process may not examine are not seen; the stability check of
// ReadCompleteReceipt covers them.
bool IsOpenForWriting(const std::string& path);

// A receipt file as read, with the identity of the version that was read.
struct ReceiptFileContent {
  std::vector<std::string> lines;
  FileIdentity identity;
};

// One attempt at reading a receipt file the sales application has finished writing:
// nobody holds it open for writing, and its size and last-write time stay the same across
// a pause of kStablePauseMs (through clock) and across the read itself. nullopt when the
// file is missing, unreadable or still being written; the caller retries.
constexpr std::int64_t kStablePauseMs = 100;
std::optional<ReceiptFileContent> ReadCompleteReceipt(const std::string& path, IClock& clock);

}  // namespace ruvo
