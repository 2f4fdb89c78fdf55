#pragma once

#include <optional>
#include <string>

#include "app/Operator.h"
#include "app/ResponseFile.h"
#include "ecr/TXruvoLinux.h"

namespace ruvo {

// What the operation about to run needs of the ECR.
enum class EcrCheckKind {
  Report,          // Z and X reports: a full journal is no obstacle; an open receipt is cleared
  Cancel,          // a receipt cancel: an open fiscal receipt is required
  ReceiptFileRun,  // a receipt file: an open receipt is cleared first
};

// The driver's own refusals of the check.
inline const std::string kReceiptInProgressError = "8020;Bon in derulare ";
inline const std::string kNoReceiptInProgressError = "8030;Nu exista nici un bon in derulare ";

inline const std::string kPrinterErrorQuestion = "Ati eliminat eroarea ?";
inline const std::string kPrinterErrorCaption = "Eroare imprimanta";

// What the check may use of the driver: the printer-error mode, the person at the machine
// and the response file.
struct EcrCheckContext {
  int tratareEroareStare = 0;  // 1: printer faults are put to the operator
  IOperator& op;
  IResponseWriter& response;
};

struct EcrCheckResult {
  bool ok = false;
  // Why the operation may not go on: the link's error text or one of the two above.
  std::string error;
  // The number of a paid receipt the check finished with a cut, when it learnt it.
  std::optional<std::string> autoFinishedReceipt;
};

// Reads the ECR's status on the open link and decides whether the operation may go on.
// A refusal has been written to the response file; hard faults are also shown on the
// ECR's display.
EcrCheckResult CheckEcrState(TXruvoLinux& link, EcrCheckKind kind, const EcrCheckContext& context);

// Clears a fiscal receipt left open in the ECR: a paid one is finished with a cut (its
// number, when the ECR tells it, goes into finishedReceipt), any other is cancelled and
// the paper cut. True when the ECR has no receipt open any more.
// finishedReceipt is filled only when wanted: asking for the number costs a "1112" that a
// report, which tells nobody about the receipt, does not send.
bool ResolveOpenReceipt(TXruvoLinux& link, std::optional<std::string>& finishedReceipt,
                        bool numberWanted = true);

}  // namespace ruvo
