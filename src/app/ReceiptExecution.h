#pragma once

#include <string>
#include <vector>

#include "app/DriverState.h"
#include "app/ResponseFile.h"
#include "console/Operator.h"
#include "platform/Clock.h"
#include "receipt/ReceiptValidator.h"

namespace ruvo {

// Everything the executors get for one receipt file.
struct ReceiptRun {
  DriverState& state;
  IOperator& op;
  IClock& clock;
  IResponseWriter& response;
  const std::vector<std::string>& lines;  // after the legacy conversion
  const ValidationResult& validation;     // presence flags, port of a first "COM" line
  std::vector<std::string>& log;          // the file's log: append the link's exchange log
};

// The ECR side of a receipt file. PrepareEcrLink opens the link for the file and checks
// the ECR; then ExecuteReceipt runs a file with fiscal commands, ExecuteAdministrative any
// other. Each writes its response through run.response. EndFile is called for every file
// that got to PrepareEcrLink, also when something threw: it closes the link if one is
// still open and hands over its log.
class IReceiptExecution {
 public:
  virtual ~IReceiptExecution() = default;
  virtual bool PrepareEcrLink(ReceiptRun& run) = 0;
  virtual bool ExecuteReceipt(ReceiptRun& run) = 0;
  virtual void ExecuteAdministrative(ReceiptRun& run) = 0;
  virtual void EndFile(ReceiptRun& /*run*/) {}
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
