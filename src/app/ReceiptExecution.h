#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/DriverState.h"
#include "app/FileRun.h"
#include "app/InFlightJournal.h"
#include "app/Operator.h"
#include "app/ResponseFile.h"
#include "platform/Clock.h"
#include "receipt/ReceiptValidator.h"

namespace ruvo {

// Told where a run has come to, so that a crash can be answered truthfully after a restart.
class IRunPhases {
 public:
  virtual ~IRunPhases() = default;
  // receiptNumber: the fiscal receipt's number, once phase is Closed. False when the
  // phase could not be saved: nothing more may then be sent to the ECR for the file,
  // since a crash would leave it to be judged from an older phase.
  virtual bool Reached(RunPhase phase, const std::string& receiptNumber) = 0;
  // As Reached, with what the ECR showed at that moment, in one save.
  virtual bool Marked(RunPhase phase, const EcrMark& mark) = 0;
};

// Everything the executors get for one receipt file.
struct ReceiptRun {
  DriverState& state;
  FileRun& file;  // the file's own: its answer's items go here, never into state
  IOperator& op;
  IClock& clock;
  IResponseWriter& response;
  const std::vector<std::string>& lines;  // after the legacy conversion
  const ValidationResult& validation;     // presence flags, port of a first "COM" line
  std::vector<std::string>& log;          // the file's log: append the link's exchange log
  IRunPhases* phases = nullptr;           // none in tests that need no journal

  bool Reached(RunPhase phase, const std::string& receiptNumber = {}) const {
    return phases == nullptr || phases->Reached(phase, receiptNumber);
  }
  bool Marked(RunPhase phase, const EcrMark& mark) const {
    return phases == nullptr || phases->Marked(phase, mark);
  }
  // Whether a crash of this run would be recovered from a record (then the ECR's state is
  // worth noting before a sale's lines).
  bool Recorded() const { return phases != nullptr; }
};

// What the ECR said about a sale whose run was cut short, and what was done about it.
struct SaleSettlement {
  enum class Outcome {
    EcrSilent,  // no answer: nothing was done, ask again later
    RunAgain,   // nothing fiscal was completed; what was open is cancelled
    Finished,   // the sale's receipt is paid or closed, and now finished
    Refused,    // the sale's receipt was cancelled or lost, or the ECR cannot tell: answered
                // with error (and pendingState), never run again on a guess
  };
  Outcome outcome = Outcome::EcrSilent;
  std::string receiptNumber;                // for Finished
  std::string error;                        // for Refused
  std::optional<std::string> pendingState;  // for Refused, when the receipt was cancelled
  std::vector<std::string> notes;           // what was found and done, for the log and the operator
};

// The ECR side of a receipt file. PrepareEcrLink opens the link for the file and checks
// the ECR; then ExecuteReceipt runs a file with fiscal commands, ExecuteAdministrative any
// other. Each writes its response through run.response, with the items of run.file.
// EndFile is called for every file that got to PrepareEcrLink, also when something threw:
// it closes the link if one is still open and hands over its log.
class IReceiptExecution {
 public:
  virtual ~IReceiptExecution() = default;
  virtual bool PrepareEcrLink(ReceiptRun& run) = 0;
  virtual bool ExecuteReceipt(ReceiptRun& run) = 0;
  virtual void ExecuteAdministrative(ReceiptRun& run) = 0;
  virtual void EndFile(ReceiptRun& /*run*/) {}
  // Asks the ECR on the record's port what became of the sale its record left in phase
  // Lines or Closing, against the record's mark, and settles it, telling phases when it
  // finishes or cancels the receipt; appends the link's exchange log to log.
  virtual SaleSettlement SettleInterruptedSale(const Settings& /*settings*/,
                                               const InFlightRecord& /*record*/,
                                               IRunPhases& /*phases*/,
                                               std::vector<std::string>& /*log*/) {
    return {};
  }
};

// The answer of a driver built without the ECR executors: a receipt file is refused
// rather than answered "0 OK" without having been printed.
inline const std::string kExecutionUnavailable =
    "8099;Executia comenzilor la casa de marcat nu este disponibila";

class UnavailableReceiptExecution final : public IReceiptExecution {
 public:
  bool PrepareEcrLink(ReceiptRun& run) override;
  bool ExecuteReceipt(ReceiptRun& run) override;
  void ExecuteAdministrative(ReceiptRun& run) override;
};

}  // namespace ruvo
