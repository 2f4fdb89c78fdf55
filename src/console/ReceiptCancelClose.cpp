// "Anulare bon" and "Inchidere bon": a receipt left open in the ECR, cancelled or closed by hand.
#include "console/ManualOperations.h"

namespace ruvo {

namespace {

// The receipt states of "1012" that mean a receipt is paid and waits for its cut, and
// those of a receipt still being sold.
bool IsPaidState(const std::string& state) { return state == "5" || state == "6"; }
bool IsSellingState(const std::string& state) {
  return state == "1" || state == "2" || state == "3" || state == "4";
}

}  // namespace

bool RunReceiptCancel(const ConsoleContext& context) {
  return RunOperation(context, kCancelOperation, [&](TXruvoLinux& link) {
    const EcrCheckResult check = CheckEcrStateFor(context, link, EcrCheckKind::Cancel);
    if (!check.ok) {
      ShowOperationFailure(context, "Operatie anulare nereusita  !\r" + check.error);
      return false;
    }
    if (!link.CancelReceipt()) {
      ShowOperationFailure(context, "Operatie de anulare nereusita !");
      return false;
    }
    return true;
  });
}

bool RunReceiptClose(const ConsoleContext& context) {
  return RunOperation(context, kCloseOperation, [&](TXruvoLinux& link) {
    if (!link.ReadReceiptState()) {
      ShowOperationFailure(context, "Operatie nereusita  !\r" + link.Engine().LastError());
      return false;
    }
    const std::string state = link.ReceiptStateText();
    if (IsPaidState(state)) {
      if (link.PartialCut(0)) return true;
      ShowOperationFailure(context, "Operatie nereusita !");
      return false;
    }
    if (IsSellingState(state)) {
      if (link.CancelReceipt()) return true;
      ShowOperationFailure(context, "Operatie  nereusita !");
      return false;
    }
    return true;  // no receipt open: nothing to do
  });
}

}  // namespace ruvo
