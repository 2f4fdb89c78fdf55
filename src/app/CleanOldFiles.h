#pragma once

#include <string>
#include <vector>

#include "app/DriverState.h"
#include "app/ReceiptFileGuard.h"
#include "platform/Clock.h"

namespace ruvo {

// The age of a file as the clean-up counts it: today's date at midnight minus the
// last-write date and time, cut to whole days. So a file written yesterday at noon is
// 0 days old and one written the day before yesterday at noon is 1 day old; a file from
// the future is 0 days old.
int AgeInWholeDays(const LocalDateTime& now, const LocalDateTime& lastWrite);

// The channel of the HTTP server's receipt files ("ONLINE_H<id>.TXT", "ERROR_H<id>.TXT"):
// they belong to their keys' records, and the clean-up never deletes them.
inline const std::string kHttpChannelPrefix = "_H";

// The clean-up at each start of processing: with "StergereFisierevechi", the log files of
// the working and log folders and the log, receipt and response copies of the history
// folder older than "MarjaZileStergere" days; with "CuratareFolderLucru", every log,
// receipt and response file of the working folder that only waits: not the names in kept
// (the files whose delivery is in flight and their answers), nor the HTTP channel's
// files; none at all with keepAllWaiting (the ledger cannot tell which are in flight).
// Never throws.
// A log or history folder that is a symbolic link is left alone, said on the driver's log
// and its path returned:
// the driver writes through such a link (a shop may keep History on another disk on
// purpose) but never deletes through one, which could reach anywhere.
std::vector<std::string> CleanOldFiles(const DriverState& state, IClock& clock,
                                       IFileOperations& files,
                                       const std::vector<std::string>& kept = {},
                                       bool keepAllWaiting = false);

}  // namespace ruvo
