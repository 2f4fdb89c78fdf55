#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/ReceiptExecution.h"
#include "ecr/TXruvoLinux.h"
#include "receipt/Fields.h"

namespace ruvo {

inline const std::string kZReportQuestion =
    "24 ore de la primul bon. \rLansez automat raportul zilnic ?";
inline const std::string kAfterCloseHint =
    " transmiteti un bon nou sau verificati stare bon precedent cu comanda 9999";
inline const std::string kPendingPaid =
    "#2;BONUL FISCAL A FOST FINALIZAT. PRELUCRATI BONUL IN APLICATIE.";
inline const std::string kPendingCancelled =
    "#1;BONUL FISCAL A FOST ANULAT. RETRANSMITETI BONUL FISCAL.";
inline const std::string kPendingNone = "#0;NU EXISTA BON IN DERULARE";

// One receipt file on its ECR link, from the first line to the final response. Used by
// ExecuteReceipt only; split over ReceiptExecutor*.cpp by step.
class FileExecution {
 public:
  FileExecution(ReceiptRun& run, TXruvoLinux& link);
  bool Run();

 private:
  // Unsettled: a lost answer that the ECR could not be asked about either (the line went
  // silent, the connection dropped). The file gets no answer; its record in the journal
  // keeps it, and the cycle asks the ECR again at its next ticks until it can tell.
  enum class LineResult { Done, Failed, Restart, Unsettled };

  struct DeferredText12 {
    std::string font;
    std::string text;
    int alignment = 0;
  };

  // ReceiptExecutor.cpp: the passes over the lines, the close and the final response.
  LineResult RunPass();
  bool ClosesReceipt() const;
  // Notes in the record what the ECR shows before a sale's lines go (again) to it; false,
  // with the file answered or left waiting, when that cannot be done.
  bool MarkEcr();
  bool CloseReceipt();
  bool FinishClosedReceipt();
  bool AfterClose();
  bool WaitForPaidState();
  bool Cut();

  // ReceiptExecutorLines.cpp: one line by its command table row; a line whose code is no
  // command of this executor fails with the unknown-command answer.
  LineResult ExecuteLine(const std::string& line, const Fields& fields);
  LineResult Sale(const Fields& fields);
  LineResult Payment(const Fields& fields);
  bool Discount(const Fields& fields);
  bool PendingReceiptCheck();
  bool TextLine10(const Fields& fields);
  bool ResendPayment(int paymentForm, double amount);

  // ReceiptExecutorLostAnswer.cpp: what the ECR did with a command whose answer was lost;
  // nullopt when the ECR cannot be asked.
  std::optional<bool> PaidAfterLostAnswer();
  std::optional<bool> ClosedAfterLostAnswer();
  bool CutAfterLostAnswer();
  bool ReadReceiptNumber();

  // ReceiptExecutorRetry.cpp: the printer-error dialog and the cancel after it.
  bool PrinterErrorCleared(const std::string& error);
  bool CancelAfterPrinterError();

  LineResult Fail(const std::string& error);
  bool Ask(const std::string& text, const std::string& caption);

  ReceiptRun& run_;
  TXruvoLinux& link_;
  const Settings& settings_;
  std::vector<std::string> deferredTexts_;
  std::vector<Fields> deferredBarcodes_;
  std::vector<DeferredText12> deferredTexts12_;
  // Payments the ECR refused again after the operator's or the settings' second form.
  std::vector<std::string> paymentNotes_;
  int lineCount_ = 0;
  // The error of a close whose lost answer the ECR was asked about (the questions put
  // their own errors into the link).
  std::optional<std::string> closeError_;
  // The close's answer was lost and the ECR could not be asked: no answer is written.
  bool closeUnsettled_ = false;
};

// An error of the link's own (a time-out, a garbled or half answer, a vanished port),
// not a refusal by the ECR: the ECR may have done the command all the same.
bool AnswerLost(const std::string& error);

}  // namespace ruvo
