#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/FileIdentity.h"

namespace ruvo {

// True when some process holds the file open for writing (O_WRONLY or O_RDWR), found by
// looking at every /proc/<pid>/fd entry that leads to the same device and inode. Processes
// whose descriptors this process may not examine are not seen; the stability check of
// ReadCompleteReceipt covers them.
bool IsOpenForWriting(const std::string& path);

// A receipt file as read, with the identity of the version that was read.
struct ReceiptFileContent {
  std::vector<std::string> lines;
  FileIdentity identity;
  std::string sha256;  // of the bytes that were read
};

// One attempt at reading a receipt file the sales application has finished writing:
// nobody holds it open for writing, it has not changed for a whole stability window of
// kStablePauseMs, and its size and last-write time stay the same across the read itself.
// A file last written longer ago than the window is read at once; one written within it
// is watched (through clock) until the window has passed since its last write, and must
// not change meanwhile. The file's age is told by the clock's real time; a clock without
// one (virtual time) makes every file wait the whole window. nullopt when the file is missing, unreadable or still being
// written; the caller retries.
constexpr std::int64_t kStablePauseMs = 100;
std::optional<ReceiptFileContent> ReadCompleteReceipt(const std::string& path, IClock& clock);

// How long a file last written at lastWriteNs (nanoseconds since the epoch) must still be
// watched at nowNs before the stability window has passed: 0 for an old file, the whole
// window for one whose time proves nothing (in the future, or whole seconds only, as file
// systems that keep no finer time give). Time stamps may lag the clock by a kernel tick,
// so the window counts from a little later than the stamp says.
std::int64_t RemainingStablePauseMs(std::int64_t lastWriteNs, std::int64_t nowNs);

}  // namespace ruvo
