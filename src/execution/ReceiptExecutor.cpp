// A receipt file on the ECR: the passes over its lines, the close of the receipt, what
// follows the close and the final response.
#include "execution/ReceiptExecutor.h"

#include <string>

#include "app/ResponseFile.h"
#include "execution/ReceiptExecutorCommands.h"
#include "execution/ReceiptExecutorFile.h"
#include "execution/ReceiptExecutorTotals.h"
#include "execution/SaleSettlement.h"
#include "receipt/NumericRules.h"

namespace ruvo {

namespace {

constexpr std::int64_t kPaidStateWaitMs = 2000;
constexpr std::int64_t kPaidStatePollMs = 100;

}  // namespace

bool ExecuteReceipt(ReceiptRun& run, TXruvoLinux& link) {
  FileExecution execution(run, link);
  return execution.Run();
}

FileExecution::FileExecution(ReceiptRun& run, TXruvoLinux& link)
    : run_(run), link_(link), settings_(run.state.settings) {}

FileExecution::LineResult FileExecution::Fail(const std::string& error) {
  run_.response.WriteResponse(error);
  return LineResult::Failed;
}

bool FileExecution::Ask(const std::string& text, const std::string& caption) {
  return run_.op.RomMessageDlg(text, caption, MsgKind::Confirmation, MsgButtons::YesNo) ==
         MsgResult::Yes;
}

bool FileExecution::Run() {
  ResponseItems& response = run_.file.response;
  run_.state.fiscalSeries.reset();
  if (std::optional<std::string> refusal = LineNotServed(run_.lines, CommandGroup::Fiscal)) {
    run_.response.Refuse(*refusal);
    return false;
  }

  for (;;) {
    deferredTexts_.clear();
    deferredBarcodes_.clear();
    deferredTexts12_.clear();
    paymentNotes_.clear();
    lineCount_ = 0;
    if (!MarkEcr()) return false;
    const LineResult pass = RunPass();
    if (pass == LineResult::Failed || pass == LineResult::Unsettled) return false;
    if (pass == LineResult::Done) break;
  }

  // A receipt the state check finished before this file stays reported whatever the file
  // is, so that the sales application learns of it also from a report or query file.
  const std::optional<std::string> autoFinished = response.autoFinishedReceipt;
  response.fiscalReceiptNumber.reset();
  response.nonFiscalReceiptNumber.reset();
  response.extraMessage.reset();
  response.autoFinishedReceipt = autoFinished;

  bool result = true;
  if (ClosesReceipt()) {
    // The cycle keeps the file waiting, unanswered, with the receipt open in the ECR.
    if (!run_.Reached(RunPhase::Closing)) return false;
    if (run_.validation.flags.payment) {
      for (const std::string& text : deferredTexts_) {
        if (!link_.SendTwoPartText(text)) {
          run_.response.WriteResponse(link_.Engine().LastError());
          return false;
        }
      }
    }
    result = CloseReceipt();
  }

  response.extraLines.clear();
  if (!result) {
    if (!closeUnsettled_)
      run_.response.WriteResponse(closeError_.value_or(link_.Engine().LastError()));
    return false;
  }
  if (run_.validation.flags.dailyTotals) {
    for (std::string& line : DailyTotalsLines(link_.DailyTotalsBlock())) {
      response.extraLines.push_back(std::move(line));
    }
  }
  if (run_.validation.flags.totalizerRead) {
    if (std::optional<std::string> line =
            TotalizerLine(link_.TotalizerNumber(), link_.TotalizerText())) {
      response.extraLines.push_back(std::move(*line));
    }
  }
  for (const std::string& note : paymentNotes_) response.extraLines.push_back(note);
  run_.response.WriteResponse(kResponseOk);
  return true;
}

FileExecution::LineResult FileExecution::RunPass() {
  const std::int64_t delayMs = settings_.delay < 0 ? 0 : settings_.delay;
  for (const std::string& line : run_.lines) {
    const Fields fields = SplitFields(line);
    if (!fields.empty()) {
      ++lineCount_;
      if (settings_.mesajLaListareItem) {
        run_.op.RomMessageDlg("Listez Linia " + std::to_string(lineCount_) + " : " + line, "",
                              MsgKind::Information, MsgButtons::Ok);
      }
      const LineResult result = ExecuteLine(line, fields);
      if (result != LineResult::Done) return result;
    }
    run_.clock.SleepMs(delayMs);
  }
  return LineResult::Done;
}

// A file of reports, queries or receipt commands that stand alone, or a lone text line,
// has no receipt of its own to close.
bool FileExecution::ClosesReceipt() const { return SaleClosesReceipt(run_.validation.flags); }

bool FileExecution::MarkEcr() {
  if (!ClosesReceipt() || !run_.Recorded()) return true;
  const std::optional<EcrMark> mark = ReadEcrMark(link_);
  if (!mark) {
    run_.response.WriteResponse(link_.Engine().LastError());
    return false;
  }
  if (mark->lastNumber < 0) {
    // Without the number nothing could tell this sale's receipt after a crash.
    run_.response.WriteResponse(kSaleUnknownAtEcr);
    return false;
  }
  // Not saved: the cycle keeps the file waiting, and nothing of it has been sent.
  return run_.Marked(RunPhase::Lines, *mark);
}

bool FileExecution::CloseReceipt() {
  if (link_.CloseReceipt()) return FinishClosedReceipt();
  const std::string error = link_.Engine().LastError();
  // Never closed again blindly: a receipt the ECR shows paid or closed goes on to its cut;
  // one the ECR cannot be asked about is not answered on a guess.
  if (AnswerLost(error)) {
    const std::optional<bool> closed = ClosedAfterLostAnswer();
    if (!closed) {
      closeUnsettled_ = true;
      return false;
    }
    if (*closed) return FinishClosedReceipt();
  }
  closeError_ = error;
  run_.response.WriteResponse(error);
  if (!link_.Engine().ErrorPaperOut() || settings_.tratareEroareStare != 1) return false;
  if (!PrinterErrorCleared(error)) return false;
  closeError_.reset();
  return AfterClose();
}

bool FileExecution::FinishClosedReceipt() {
  if (!AfterClose()) {
    // The receipt is closed and counted: the sale stands, only what follows it is lost.
    run_.file.response.extraMessage =
        closeError_.value_or(link_.Engine().LastError()) + kAfterCloseHint;
    closeError_.reset();
  }
  return true;
}

bool FileExecution::AfterClose() {
  for (const Fields& barcode : deferredBarcodes_) {
    if (!link_.PrintBarcode(IntValue(FieldOrEmpty(barcode, 1)), IntValue(FieldOrEmpty(barcode, 2)),
                            IntValue(FieldOrEmpty(barcode, 3)), FieldOrEmpty(barcode, 4))) {
      run_.response.WriteResponse(link_.Engine().LastError());
      return false;
    }
  }

  // A lost answer is asked for once more: the number is what the sale is answered with.
  if (!ReadReceiptNumber() && AnswerLost(link_.Engine().LastError())) ReadReceiptNumber();
  const std::optional<std::string> numberError = run_.file.response.fiscalReceiptNumber
                                                     ? std::nullopt
                                                     : std::optional(link_.Engine().LastError());

  if (!deferredTexts12_.empty() && WaitForPaidState()) {
    // Lines after the close are a courtesy of the receipt; their failure changes nothing.
    for (const DeferredText12& text : deferredTexts12_) {
      link_.PrintText3012(text.font, text.text, text.alignment);
    }
  }
  bool cut = Cut();
  if (!cut) {
    const std::string error = link_.Engine().LastError();
    cut = AnswerLost(error) && CutAfterLostAnswer();
    if (!cut) closeError_ = error;
  }
  if (!run_.file.response.fiscalReceiptNumber && cut) ReadReceiptNumber();
  if (const std::optional<std::string>& number = run_.file.response.fiscalReceiptNumber) {
    // Nothing more is sent; a crash now is settled from the closing phase all the same.
    static_cast<void>(run_.Reached(RunPhase::Closed, *number));
  } else if (cut && numberError) {
    closeError_ = numberError;
    return false;
  }
  return cut;
}

bool FileExecution::WaitForPaidState() {
  const std::int64_t start = run_.clock.MonotonicMs();
  std::string answer;
  while (!link_.ReceiptPaid()) {
    if (run_.clock.MonotonicMs() - start >= kPaidStateWaitMs) return false;
    run_.clock.SleepMs(kPaidStatePollMs);
    link_.ReadLastReceiptNumber(answer);
  }
  return true;
}

bool FileExecution::Cut() {
  return link_.CutReceipt(CutSettings{settings_.modTaiere, settings_.liniiAvans});
}

}  // namespace ruvo
