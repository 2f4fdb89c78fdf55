#include "execution/EcrStateCheck.h"

namespace ruvo {

namespace {

constexpr int kPaperOut = 16;
constexpr int kJournalFull = 30;
constexpr int kJournalAbsent = 33;
constexpr int kCoverOpen = 37;
constexpr int kFiscalMemoryAbsent = 50;
constexpr int kFiscalMemoryFull = 51;
constexpr int kDisplayAbsent = 56;
constexpr int kCutterError = 67;

enum class FaultKind { None, Printer, Hard };

struct PrinterFault {
  FaultKind kind = FaultKind::None;
  int code = 0;
};

// The first printer fault of the status, in the order the ECR's faults are looked at.
// A report does not need the journal, so a full journal ends the search for it.
PrinterFault FirstPrinterFault(const TXruvoLinux& link, EcrCheckKind kind) {
  if (link.StatusCoverOpen()) return {FaultKind::Printer, kCoverOpen};
  if (link.StatusPaperOut()) return {FaultKind::Printer, kPaperOut};
  if (link.StatusJournalFull()) {
    if (kind == EcrCheckKind::Report) return {};
    return {FaultKind::Hard, kJournalFull};
  }
  if (link.StatusCutterError()) return {FaultKind::Hard, kCutterError};
  if (link.StatusJournalAbsent()) return {FaultKind::Hard, kJournalAbsent};
  if (link.StatusDisplayAbsent()) return {FaultKind::Printer, kDisplayAbsent};
  return {};
}

// refused: nothing of the file can have reached the paper (a receipt the ECR has open, or
// none to cancel); the ECR's faults are failures.
EcrCheckResult Refuse(const EcrCheckContext& context, std::string error, bool refused = false) {
  if (refused) {
    context.response.Refuse(error);
  } else {
    context.response.WriteResponse(error);
  }
  EcrCheckResult result;
  result.error = std::move(error);
  return result;
}

bool OperatorClearedFault(const EcrCheckContext& context, const std::string& error) {
  if (context.tratareEroareStare != 1) return false;
  return context.op.RomMessageDlg(error + "\r\r" + kPrinterErrorQuestion, kPrinterErrorCaption,
                                  MsgKind::Confirmation, MsgButtons::YesNo) == MsgResult::Yes;
}

bool IsPaidState(const std::string& state) { return state == "5" || state == "6"; }

}  // namespace

bool ResolveOpenReceipt(TXruvoLinux& link, std::optional<std::string>& finishedReceipt,
                        bool numberWanted) {
  if (!link.ReadReceiptState()) return false;
  if (IsPaidState(link.ReceiptStateText()) && !numberWanted) return link.PartialCut(0);
  if (IsPaidState(link.ReceiptStateText())) {
    // The receipt's number is asked for before the cut, while it is still the current one,
    // so that the sales application can be told which receipt was finished for it.
    std::string answer;
    const bool numberKnown =
        link.ReadLastReceiptNumber(answer) && !link.ReceiptNumberText().empty();
    const std::string number = link.ReceiptNumberText();
    if (!link.PartialCut(0)) return false;
    if (numberKnown) finishedReceipt = number;
    return true;
  }
  return link.CancelReceipt() && link.PartialCut(0);
}

EcrCheckResult CheckEcrState(TXruvoLinux& link, EcrCheckKind kind, const EcrCheckContext& context) {
  if (!link.ReadStatus()) return Refuse(context, link.Engine().LastError());

  if (link.StatusFiscalMemoryFull() || link.StatusFiscalMemoryAbsent()) {
    link.Engine().SetError(link.StatusFiscalMemoryFull() ? kFiscalMemoryFull : kFiscalMemoryAbsent);
    return Refuse(context, link.Engine().LastError());
  }

  const PrinterFault fault = FirstPrinterFault(link, kind);
  if (fault.kind == FaultKind::Hard) {
    link.Engine().SetError(fault.code);
    // Kept before the display command, which would replace it if it failed.
    const std::string error = link.Engine().LastError();
    link.SendTwoPartText(error);
    return Refuse(context, error);
  }
  if (fault.kind == FaultKind::Printer) {
    link.Engine().SetError(fault.code);
    const std::string error = link.Engine().LastError();
    if (!OperatorClearedFault(context, error)) return Refuse(context, error);
  }

  EcrCheckResult result;
  if (kind == EcrCheckKind::Cancel) {
    if (!link.StatusFiscalReceiptOpen()) return Refuse(context, kNoReceiptInProgressError, true);
  } else if (link.StatusFiscalReceiptOpen()) {
    // Only a receipt file's answer names the receipt finished for it.
    if (!ResolveOpenReceipt(link, result.autoFinishedReceipt, kind != EcrCheckKind::Report)) {
      return Refuse(context, kReceiptInProgressError, true);
    }
  } else if (link.StatusNonFiscalReceiptOpen()) {
    if (!link.CloseNonFiscalReceipt()) return Refuse(context, kReceiptInProgressError, true);
  }
  result.ok = true;
  return result;
}

}  // namespace ruvo
