// One line of a receipt file as ECR commands, by its code.
#include <string>

#include "receipt/NumericRules.h"
#include "execution/ReceiptExecutorFile.h"

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

double Hundredths(const std::string& field) { return static_cast<double>(Int64Value(field)) / 100.0; }

bool IsPaidOrClosed(const std::string& state) { return state == "5" || state == "6"; }

bool IsSelling(const std::string& state) {
  return state == "1" || state == "2" || state == "3" || state == "4";
}

}  // namespace

FileExecution::LineResult FileExecution::ExecuteLine(const Fields& fields) {
  const std::string& code = fields[0];
  auto field = [&fields](std::size_t i) -> const std::string& { return FieldOrEmpty(fields, i); };
  auto outcome = [this](bool ok) { return ok ? LineResult::Done : Fail(link_.LastError()); };

  if (code == "0") return outcome(link_.PartialCut(0));
  if (code == "1") return Sale(fields);
  if (code == "100" || code == "101") {
    const char* name = code == "100" ? "STORNO PLATA AVANS" : "AMBALAJ RETURNABIL";
    return outcome(link_.SellItem(name, 1, Hundredths(field(1)), IntValue(field(2)), "", 1, 1, true));
  }
  if (code == "2") return outcome(link_.PrintText3002(field(1), field(2), IntValue(field(3))));
  if (code == "3") return LineResult::Done;
  if (code == "5") return Payment(fields);
  if (code == "7") return outcome(Discount(fields));
  if (code == "8") return outcome(link_.Command3003());
  if (code == "10") return outcome(TextLine10(fields));
  if (code == "11") return outcome(link_.PrintText3010(field(1), field(2)));
  if (code == "111") return outcome(link_.PrintText3008(field(1), field(2)));
  if (code == "12") {
    deferredTexts12_.push_back({field(1), field(2).empty() ? " " : field(2), IntValue(field(3))});
    return LineResult::Done;
  }
  if (code == "9999") return outcome(PendingReceiptCheck());
  if (code == "14") return outcome(link_.CancelReceipt() && link_.PartialCut(0));
  if (code == "15") return outcome(link_.PrintZReport());
  if (code == "30") return outcome(link_.PrintXReport());
  if (code == "31") return outcome(link_.SetOperator(0, IntValue(field(1)), 0, 0));
  if (code == "32") return outcome(link_.PrintDepartmentReport());
  if (code == "16") {
    deferredBarcodes_.push_back(fields);
    return LineResult::Done;
  }
  if (code == "17") return outcome(link_.ReadDailyTotals());
  if (code == "18") return outcome(link_.PrintMFReportByNumber(IntValue(field(2)), IntValue(field(3))));
  if (code == "19") {
    if (fields.size() == 1) return outcome(link_.PrintMFReportByDate(3, 0, 0, 0, 0, 0, 0));
    return outcome(link_.PrintMFReportByDate(IntValue(field(1)), IntValue(field(2)), IntValue(field(3)),
                                             IntValue(field(4)), IntValue(field(5)), IntValue(field(6)),
                                             IntValue(field(7))));
  }
  if (code == "24") {
    std::string series;
    int resultCode = 0;
    if (!link_.ReadFiscalSeries(series, resultCode)) return Fail(link_.LastError());
    run_.state.fiscalSeries = series;
    return LineResult::Done;
  }
  if (code == "27") {
    std::string answer;
    return outcome(link_.ReadTotalizer(IntValue(field(1)), answer));
  }
  if (code == "28") return outcome(link_.ReadTotalizers());
  // The port-selection line and anything else outside the table are not ECR commands.
  return LineResult::Done;
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
    const std::string error = link_.LastError();
    if (link_.ErrorZReportDue()) {
      if (askOperator && Ask(kZReportQuestion, "Atentie") && link_.PrintZReport()) {
        run_.clock.SleepMs(kPauseAfterZReportMs);
        continue;
      }
      return Fail(link_.LastError());
    }
    if (link_.ErrorPaperOut() && askOperator && PrinterErrorCleared(error) &&
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

  const std::string error = link_.LastError();
  // Never paid again blindly: a receipt the ECR shows paid goes on to its close.
  if (AnswerLost(error)) return PaidAfterLostAnswer() ? LineResult::Done : Fail(error);
  if (link_.ErrorPaperOut()) {
    // Counted as done: the close pays in cash whatever the last accepted payment left due.
    if (settings_.tratareEroareStare == 1 && PrinterErrorCleared(error)) return LineResult::Done;
    return Fail(error);
  }
  if (!link_.ErrorExtended()) return Fail(error);

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
  paymentNotes_.push_back(link_.LastError());
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
  return kind0 ? link_.AdjustPercentKind0("", percentage) : link_.AdjustPercentKind1("", percentage);
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
