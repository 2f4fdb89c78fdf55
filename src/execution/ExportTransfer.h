#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/WorkingFolder.h"
#include "ecr/TXruvoLinux.h"
#include "platform/Clock.h"

namespace ruvo {

// The monthly XML export's second half: once the ECR has been asked to prepare the
// archive ("6416"), wait for it and copy it into ExportXML/ under the working folder.
// Used by the receipt command "416" and by the operator console's export.

// How the archive travels from the ECR.
inline constexpr int kExportModeHexPieces = 1;  // "7403060" pieces of hexadecimal text
inline constexpr int kExportModeBinary = 2;     // one length-prefixed "7404" answer

// The largest archive taken: what the link's receive buffer holds beside the 5 bytes of
// acknowledgement and length. Anything longer is refused whole rather than cut.
inline constexpr std::size_t kMaxExportBytes = FrameLink::kRxBufferSize - 5;

inline constexpr std::int64_t kExportSettleMs = 7000;  // before the first readiness poll
inline constexpr std::int64_t kExportReadyLimitMs = 120000;
inline constexpr std::int64_t kExportPollPauseMs = 1000;
inline constexpr std::size_t kExportPieceChars = 1000;  // of a piece, from its 4th character

inline constexpr std::string_view kWaitMarkerName = "wait.txt";

struct ExportTransferRequest {
  std::string year;    // as the sales application or the operator gave it
  int month = 1;       // 1..12, two digits in the archive name as in the request
  bool typeX = false;  // export type "X"; "R" otherwise
  int mode = kExportModeHexPieces;
  // "wait.txt" in the working folder while the transfer runs, for the sales application.
  bool busyMarker = true;
  // The largest archive taken; a longer one is refused whole.
  std::size_t maxBytes = kMaxExportBytes;
};

// What the transfer tells the person at the machine. Empty hooks do nothing.
struct ExportTransferHooks {
  // A pair of the hexadecimal text that is not hexadecimal (its byte is written as 0).
  std::function<void()> beep;
  // The steps of the binary transfer, for the console's diagnostics messages.
  std::function<void(const std::string&)> diagnostic;
};

enum class ExportOutcome {
  kSaved,        // the archive was written whole
  kNotReady,     // no ready answer to "1111" within 120 seconds
  kOpenRefused,  // "7400" failed
  kNoData,       // the ECR handed over nothing
  kBrokenOff,    // the line failed in the middle of the data; nothing written
  kTooLarge,     // more than kMaxExportBytes; nothing written
  kWriteFailed,  // the archive could not be saved; an older one stays as it was
};

struct ExportTransferResult {
  ExportOutcome outcome = ExportOutcome::kNotReady;
  // The answer of "1008"; nullopt when the ECR did not give one.
  std::optional<std::string> fiscalSeries;
  std::string archivePath;  // where the archive is (or would have been) written
  std::size_t bytes = 0;    // bytes written
};

// Waits, reads the fiscal series, polls for readiness, fetches the archive in the
// request's mode and writes it atomically: a transfer that breaks off never replaces an
// archive already there. Ends the ECR's export with "7408" whenever "7400" opened it.
// Every failure is logged in the link's exchange log and returned; nothing throws.
ExportTransferResult TransferMonthlyExport(TXruvoLinux& link, IClock& clock,
                                           const std::string& workingFolder,
                                           const ExportTransferRequest& request,
                                           const ExportTransferHooks& hooks = {});

// The archive's path: <folder>ExportXML/<year><month, 2 digits>_<series>.ZIP. The folder
// is an existing ExportXML of any case, else ExportXML itself. A "/" in the year or the
// series becomes "_", so the name stays inside the folder.
std::string ExportArchivePath(const std::string& workingFolder, const std::string& year, int month,
                              const std::string& fiscalSeries);

// Hexadecimal pairs to bytes, upper or lower case; a pair that is not hexadecimal gives a
// 0 byte and one call of onBadPair; a last single character is dropped.
std::string DecodeHexPairs(std::string_view text, const std::function<void()>& onBadPair);

// Deletes every wait*.txt of the folder (any case).
void DeleteWaitMarkers(const std::string& workingFolder);

}  // namespace ruvo
