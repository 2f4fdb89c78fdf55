#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/DriverState.h"
#include "app/FileRun.h"
#include "app/InFlightJournal.h"
#include "app/Operator.h"
#include "app/ReceiptDelivery.h"
#include "app/ResponseFile.h"
#include "platform/Clock.h"

namespace ruvo {

// The receipt file taken up now: made at its pickup, dropped once it is answered (or left
// waiting), so that nothing of one file reaches the next one's answer. The cycle makes it;
// the pipeline fills its answer, the ledger its delivery and record.
struct CurrentFile {
  // extraWarnings: the cycle's lines of the warning box, shown beside the ECR's flags.
  CurrentFile(DriverState& state, IOperator& op, IClock& clock,
              const std::vector<std::string>& extraWarnings, const std::string& name, bool hold);
  CurrentFile(const CurrentFile&) = delete;
  CurrentFile& operator=(const CurrentFile&) = delete;

  FileRun run;
  ResponseWriter response;
  std::optional<DeliveryId> delivery;    // once claimed
  std::optional<InFlightRecord> record;  // once it reaches the ECR
  bool waitUnanswered = false;           // it waits, no answer is saved
  bool reachedEcr = false;               // its run reached the ECR
  bool closedUnsaved = false;            // record is closed, the journal says closing
  std::vector<std::string> recoveryLog;  // goes before the log of a file run again
};

}  // namespace ruvo
