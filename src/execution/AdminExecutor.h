#pragma once

#include "app/ReceiptExecution.h"
#include "ecr/TXruvoLinux.h"

namespace ruvo {

// Runs a receipt file that holds no fiscal command: a non-fiscal receipt ("20", "21",
// "16"), cash in and out ("25"), the typed, journal and stop reports, the beep, the ECR
// clock ("42") and the monthly XML export ("416"). The link is the one PrepareEcrLink
// opened; it stays open and owned by the caller. A file with a line that is no command of
// its own is answered with the unknown-command refusal before anything is sent. Stops at
// the first ECR operation that fails and answers with the link's error text; otherwise
// answers "0 OK". The response items go into run.file.response, the response is written
// through run.response.
void ExecuteNonFiscalAndReports(ReceiptRun& run, TXruvoLinux& link);

}  // namespace ruvo
