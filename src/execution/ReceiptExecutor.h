#pragma once

#include <string>

#include "app/ReceiptExecution.h"
#include "ecr/TXruvoLinux.h"

namespace ruvo {

inline const std::string kJournalLowResponse =
    "EFECTUATI RAPORTUL FISCAL Z / CHEMATI TEHNICIANUL AUTORIZAT PENTRU INLOCUIRE MEMORIE JE";
// Below this many free journal lines no file is run.
inline constexpr int kLowestFreeJournalLines = 500;

// Sets the fresh link up from the settings, opens the port of the file (a first "COM"
// line) or of the settings, checks the ECR's state and its free journal lines. True when
// the file may run on the link; on false the response has been written and the caller
// closes the link.
bool PrepareEcrLink(ReceiptRun& run, TXruvoLinux& link);

// Runs a file with fiscal commands on the link PrepareEcrLink opened: its lines, the close
// of the receipt and what follows it, and the final response. True on success. A file with
// a line that is no fiscal command is answered with the unknown-command refusal before
// anything is sent. The caller closes the link and hands its log to the file's log.
bool ExecuteReceipt(ReceiptRun& run, TXruvoLinux& link);

}  // namespace ruvo
