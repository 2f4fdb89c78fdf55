// One line of a receipt file as ECR commands, by its command table row.
#include <string>

#include "execution/ReceiptExecutorFile.h"
#include "receipt/CommandTable.h"
#include "receipt/NumericRules.h"
#include "receipt/PortSelection.h"

namespace ruvo {

namespace {

constexpr std::size_t kTextPartWidth = 20;
constexpr std::size_t kUnitWidth = 4;
constexpr std::int64_t kPauseAfterZReportMs = 1000;

std::string Part20(const std::string& text) {
  std::string part = text.substr(0, kTextPartWidth);
  part.append(kTextPartWidth - part.size(), ' ');
  return part;
}

double Hundredths(const std::string& field) {
  return static_cast<double>(Int64Value(field)) / 100.0;
}

bool IsPaidOrClosed(const std::string& state) { return state == "5" || state == "6"; }

bool IsSelling(const std::string& state) {
  return state == "1" || state == "2" || state == "3" || state == "4";
}

}  // namespace

FileExecution::LineResult FileExecution::ExecuteLine(const std::string& line,
                                                     const Fields& fields) {
  const CommandInfo* command = FindCommand(fields[0]);
  if (command == nullptr) {
    // The port-selection line was used to open the link; it is no ECR command.
    if (IsPortSelectionCode(fields[0])) return LineResult::Done;
    return Fail(UnknownCommandText(line));
  }
  auto field = [&fields](std::size_t i) -> const std::string& { return FieldOrEmpty(fields, i); };
  auto outcome = [this](bool ok) {
    return ok ? LineResult::Done : Fail(link_.Engine().LastError());
  };

  switch (command->run) {
    case LineRun::FinishReceipt:
      return outcome(link_.PartialCut(0));
    case LineRun::Sale:
      return Sale(fields);
    case LineRun::AdvanceRefund:
      return outcome(link_.SellItem("STORNO PLATA AVANS", 1, Hundredths(field(1)),
                                    IntValue(field(2)), "", 1, 1, true));
    case LineRun::ReturnablePackaging:
      return outcome(link_.SellItem("AMBALAJ RETURNABIL", 1, Hundredths(field(1)),
                                    IntValue(field(2)), "", 1, 1, true));
    case LineRun::FontText:
      return outcome(link_.PrintText3002(field(1), field(2), IntValue(field(3))));
    case LineRun::PaymentMark:
      return LineResult::Done;
    case LineRun::Payment:
      return Payment(fields);
    case LineRun::Discount:
      return outcome(Discount(fields));
    case LineRun::Subtotal:
      return outcome(link_.Command3003());
    case LineRun::TwoPartText:
      return outcome(TextLine10(fields));
    case LineRun::HeaderText:
      return outcome(link_.PrintText3010(field(1), field(2)));
    case LineRun::FooterText:
      return outcome(link_.PrintText3008(field(1), field(2)));
    case LineRun::TextAfterClose:
      deferredTexts12_.push_back({field(1), field(2).empty() ? " " : field(2), IntValue(field(3))});
      return LineResult::Done;
    case LineRun::ReceiptStateQuery:
      return outcome(PendingReceiptCheck());
    case LineRun::CancelReceipt:
      return outcome(link_.CancelReceipt() && link_.PartialCut(0));
    case LineRun::ZReport:
      return outcome(link_.PrintZReport());
    case LineRun::XReport:
      return outcome(link_.PrintXReport());
    case LineRun::OperatorChange:
      return outcome(link_.SetOperator(0, IntValue(field(1)), 0, 0));
    case LineRun::DepartmentReport:
      return outcome(link_.PrintDepartmentReport());
    case LineRun::Barcode:
      deferredBarcodes_.push_back(fields);
      return LineResult::Done;
    case LineRun::DailyTotals:
      return outcome(link_.ReadDailyTotals());
    case LineRun::MfReportByNumber:
      return outcome(link_.PrintMFReportByNumber(IntValue(field(2)), IntValue(field(3))));
    case LineRun::MfReportByDate:
      if (fields.size() == 1) return outcome(link_.PrintMFReportByDate(3, 0, 0, 0, 0, 0, 0));
      return outcome(link_.PrintMFReportByDate(IntValue(field(1)), IntValue(field(2)),
                                               IntValue(field(3)), IntValue(field(4)),
                                               IntValue(field(5)), IntValue(field(6)),
                                               IntValue(field(7))));
    case LineRun::FiscalSeriesRead: {
      std::string series;
      int resultCode = 0;
      if (!link_.ReadFiscalSeries(series, resultCode)) return Fail(link_.Engine().LastError());
      run_.state.fiscalSeries = series;
      return LineResult::Done;
    }
    case LineRun::TotalizerRead: {
      std::string answer;
      return outcome(link_.ReadTotalizer(IntValue(field(1)), answer));
    }
    case LineRun::TotalizersRead:
      return outcome(link_.ReadTotalizers());
    // The non-fiscal executor's commands.
    case LineRun::NonFiscalMark:
    case LineRun::NonFiscalText:
    case LineRun::CashInOut:
    case LineRun::TypedReportA:
    case LineRun::TypedReportB:
    case LineRun::JeReportByDate:
    case LineRun::JeReportByReceipts:
    case LineRun::JeReportByZ:
    case LineRun::JeReportFromLine:
    case LineRun::JeReceiptsOfZ:
    case LineRun::StopReport:
    case LineRun::Beep:
    case LineRun::SetDateTime:
    case LineRun::XmlExport:
      break;
  }
  return Fail(UnknownCommandText(line));
}

bool FileExecution::TextLine10(const Fields& fields) {
  const std::string text = Part20(FieldOrEmpty(fields, 1)) + Part20(FieldOrEmpty(fields, 2));
  // With a payment the texts belong at the foot of the receipt, just before its close.
  if (run_.validation.flags.payment) {
    deferredTexts_.push_back(text);
    return true;
  }
  return link_.SendTwoPartText(text);
}

FileExecution::LineResult FileExecution::Sale(const Fields& fields) {
  const std::string& name = FieldOrEmpty(fields, 1);
  const std::string unit = FieldOrEmpty(fields, 2).substr(0, kUnitWidth);
  const int department = IntValue(FieldOrEmpty(fields, 3));
  const int vatCode = IntValue(FieldOrEmpty(fields, 4));
  const double price = Hundredths(FieldOrEmpty(fields, 5));
  const double quantity = static_cast<double>(Int64Value(FieldOrEmpty(fields, 6))) / 100000.0;
  const int denominator = ParseInt32(FieldOrEmpty(fields, 7)).value_or(1);
  const bool storno = FieldOrEmpty(fields, 8) == "-";
  const bool askOperator = settings_.tratareEroareStare == 1;

  for (;;) {
    if (link_.SellItem(name, department, price, vatCode, unit, quantity, denominator, storno)) {
      return LineResult::Done;
    }
    const std::string error = link_.Engine().LastError();
    if (link_.Engine().ErrorZReportDue()) {
      if (askOperator && Ask(kZReportQuestion, "Atentie") && link_.PrintZReport()) {
        run_.clock.SleepMs(kPauseAfterZReportMs);
        // The Z began the numbers and counts again.
        if (!MarkEcr()) return LineResult::Failed;
        continue;
      }
      return Fail(link_.Engine().LastError());
    }
    if (link_.Engine().ErrorPaperOut() && askOperator && PrinterErrorCleared(error) &&
        CancelAfterPrinterError()) {
      return LineResult::Restart;
    }
    return Fail(error);
  }
}

FileExecution::LineResult FileExecution::Payment(const Fields& fields) {
  const int paymentForm = ParseInt32(FieldOrEmpty(fields, 2)).value_or(1);
  const double amount = Hundredths(FieldOrEmpty(fields, 1));
  if (link_.Payment(paymentForm, "", amount)) return LineResult::Done;

  const std::string error = link_.Engine().LastError();
  // Never paid again blindly: a receipt the ECR shows paid goes on to its close; one the
  // ECR cannot be asked about is not answered on a guess.
  if (AnswerLost(error)) {
    const std::optional<bool> paid = PaidAfterLostAnswer();
    if (!paid) return LineResult::Unsettled;
    return *paid ? LineResult::Done : Fail(error);
  }
  if (link_.Engine().ErrorPaperOut()) {
    // Counted as done: the close pays in cash whatever the last accepted payment left due.
    if (settings_.tratareEroareStare == 1 && PrinterErrorCleared(error)) return LineResult::Done;
    return Fail(error);
  }
  if (!link_.Engine().ErrorExtended()) return Fail(error);

  if (settings_.tratareFormaPlata == 0) {
    ResendPayment(settings_.codFormaPlata, amount);
    return LineResult::Done;
  }
  int chosen = 1;
  if (run_.op.AskPaymentForm(chosen)) {
    ResendPayment(chosen, amount);
    return LineResult::Done;
  }
  // The operator gave the receipt up. The answer names the refused payment form, which is
  // why the receipt is gone; the close that follows the cancel can only be refused.
  link_.CancelReceipt();
  link_.CloseReceipt();
  link_.PartialCut(0);
  return Fail(error);
}

bool FileExecution::ResendPayment(int paymentForm, double amount) {
  if (link_.Payment(paymentForm, "", amount)) return true;
  paymentNotes_.push_back(link_.Engine().LastError());
  return false;
}

bool FileExecution::Discount(const Fields& fields) {
  const bool kind0 = FieldOrEmpty(fields, 1) == "0";
  const bool onSubtotal = FieldOrEmpty(fields, 2) != "0";
  const bool byValue = fields.size() > 6 && fields[6] != "0";
  if (onSubtotal && !link_.Command3003()) return false;
  if (byValue) {
    const double value = Hundredths(FieldOrEmpty(fields, 5));
    return kind0 ? link_.AdjustValueKind0("", value) : link_.AdjustValueKind1("", value);
  }
  const double percentage = Hundredths(FieldOrEmpty(fields, 4));
  return kind0 ? link_.AdjustPercentKind0("", percentage)
               : link_.AdjustPercentKind1("", percentage);
}

bool FileExecution::PendingReceiptCheck() {
  if (!link_.ReadReceiptState()) return false;
  const std::string& state = link_.ReceiptStateText();
  std::optional<std::string>& pending = run_.file.response.pendingReceiptState;
  if (IsPaidOrClosed(state)) {
    pending = kPendingPaid;
    return link_.PartialCut(0);
  }
  if (IsSelling(state)) {
    pending = kPendingCancelled;
    return link_.CancelReceipt();
  }
  pending = kPendingNone;
  return true;
}

}  // namespace ruvo
