#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileIdentity.h"

namespace ruvo {

// True when some process holds the file open for writing (O_WRONLY or O_RDWR). The kernel
// is asked first (a read lease, refused while the file is open for writing anywhere: one
// call, and no process is hidden from it); where it cannot tell, IsOpenForWritingPerProc.
bool IsOpenForWriting(const std::string& path);
// The same found by looking at every /proc/<pid>/fd entry that leads to the same device and
// inode. Processes whose descriptors this process may not examine are not seen; the quiet
// time of a file written in place covers them.
bool IsOpenForWritingPerProc(const std::string& path);

// A receipt file as read, with the identity of the version that was read.
struct ReceiptFileContent {
  std::vector<std::string> lines;
  FileIdentity identity;
  std::string sha256;  // of the bytes that were read
};

// One attempt at reading a receipt file the sales application has finished writing (when it
// has is PickupReadiness's decision): nobody holds it open for writing, and its identity
// stays the same across the read itself. Never waits. nullopt when the file is missing,
// unreadable or being written; the caller retries. writersSought: the caller has just
// searched /proc for a writer of this very file and found none (the search is not cheap).
std::optional<ReceiptFileContent> ReadCompleteReceipt(const std::string& path,
                                                      bool writersSought = false);

}  // namespace ruvo
