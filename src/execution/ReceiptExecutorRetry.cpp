// What follows a printer error the operator was asked about.
#include "execution/EcrStateCheck.h"
#include "execution/ReceiptExecutorFile.h"

namespace ruvo {

namespace {

constexpr int kCancelRounds = 4;

bool AnyReceiptOpen(const TXruvoLinux& link) { return link.ReceiptOpen() || link.ReceiptPaid(); }

}  // namespace

// Asks until the operator gives up or the ECR confirms the error is gone. A printer state
// that cannot be read confirms nothing.
bool FileExecution::PrinterErrorCleared(const std::string& error) {
  for (;;) {
    if (!Ask(kPrinterErrorQuestion + "\r\r" + error, kPrinterErrorCaption)) return false;
    std::string answer;
    if (link_.ReadPrinterState(answer) && !link_.PrinterStateError()) return true;
  }
}

bool FileExecution::CancelAfterPrinterError() {
  std::string answer;
  link_.ReadLastReceiptNumber(answer);
  if (!AnyReceiptOpen(link_)) return false;
  for (int round = 0; round < kCancelRounds && AnyReceiptOpen(link_); ++round) {
    link_.CancelReceipt();
    link_.ReadLastReceiptNumber(answer);
  }
  if (AnyReceiptOpen(link_)) return false;
  link_.PartialCut(0);
  return true;
}

}  // namespace ruvo
