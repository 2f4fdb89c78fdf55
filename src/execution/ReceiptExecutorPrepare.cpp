#include "execution/EcrStateCheck.h"
#include "execution/ReceiptExecutor.h"

namespace ruvo {

namespace {

constexpr int kHighestKnownFreeLines = 99999;

int FilePort(const ReceiptRun& run) {
  const int port = run.validation.port.value_or(run.state.settings.port);
  return port == 0 ? 1 : port;
}

// A status that was actually read: the link zeroes it until one arrives.
bool StatusRead(const TXruvoLinux& link) {
  return link.StatusText().find('\0') == std::string::npos;
}

void ReadWarningFlags(const TXruvoLinux& link, WarningFlags& flags) {
  flags.paperNearEnd = link.StatusPaperNearEnd();
  flags.journalAlmostFull = link.StatusJournalAlmostFull();
  flags.notFiscalized = link.StatusNotFiscalized();
}

}  // namespace

bool PrepareEcrLink(ReceiptRun& run, TXruvoLinux& link) {
  const Settings& settings = run.state.settings;
  link.SetLongTimeOut(settings.longTimeOut);

  if (!link.Engine().OpenPort(FilePort(run))) {
    link.Engine().IsReady();  // puts the port error into LastError
    run.response.WriteResponse(link.Engine().LastError());
    return false;
  }

  // A pending-receipt query must find the receipt as the previous file left it.
  if (!run.validation.flags.receiptStateQuery) {
    const EcrCheckKind kind =
        run.validation.flags.cancelReceipt ? EcrCheckKind::Cancel : EcrCheckKind::ReceiptFileRun;
    const EcrCheckContext context{settings.tratareEroareStare, run.op, run.response};
    const EcrCheckResult check = CheckEcrState(link, kind, context);
    if (StatusRead(link)) ReadWarningFlags(link, run.state.warnings);
    if (check.autoFinishedReceipt)
      run.file.response.autoFinishedReceipt = check.autoFinishedReceipt;
    if (!check.ok) return false;
  } else {
    run.file.response.statusNotRead = true;
  }

  int& freeLines = run.state.jeFreeLines;
  if (freeLines >= 0 && freeLines <= kHighestKnownFreeLines) {
    if (link.ReadJEFreeLines() && link.JEFreeLines() >= 0) freeLines = link.JEFreeLines();
    if (freeLines < kLowestFreeJournalLines) {
      run.response.WriteResponse(kJournalLowResponse);
      return false;
    }
  }
  return true;
}

}  // namespace ruvo
