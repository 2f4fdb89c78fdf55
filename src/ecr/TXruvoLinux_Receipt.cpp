// The fiscal receipt: sales, the operator, adjustments, payments, close, cut and cancel.
#include "ecr/Amount.h"
#include "ecr/DecimalText.h"
#include "ecr/TXruvoLinux.h"
#include "platform/Locale.h"

namespace ruvo {

namespace {

constexpr int kCloseTimeOut = 30;
constexpr std::size_t kNameWidth = 22;
constexpr std::size_t kShortestItemName = 3;
constexpr std::size_t kDueAnswerLength = 10;
constexpr int kCashPayment = 1;

// The ECR numbers the payment types 1 and 3 the other way round.
int WirePaymentType(int paymentType) {
  if (paymentType == 1) return 3;
  if (paymentType == 3) return 1;
  return paymentType;
}

std::string RightPadded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

// Blanks and control characters off both ends, as an adjustment label wants it.
std::string Trimmed(const std::string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
  return text.substr(first, last - first);
}

std::string AdjustmentLabel(const std::string& text) {
  const std::string trimmed = Trimmed(text);
  return trimmed.empty() ? trimmed : RightPadded(trimmed, kNameWidth);
}

bool IsZeroAmount(double amount) { return RoundAmount(amount, 2) == 0.0; }

}  // namespace

// "3301C" with a blank name: the amount that follows a sale or an operator line.
bool TXruvoLinux::SellFollowUp(double followUpAmount) {
  if (IsZeroAmount(followUpAmount)) return true;
  if (!IsReady()) return false;
  const std::string blankName = RightPadded(std::string(), kNameWidth);
  return RunCommand("3301C000000000000" + LengthText(blankName, 2) +
                        AmountField(followUpAmount, 7, 2) + "0",
                    kDefaultTimeOut);
}

bool TXruvoLinux::SellItem(const std::string& name, int department, double price, int vatCode,
                           const std::string& unit, double quantity, int quantityDenominator,
                           bool variant, double followUpAmount) {
  if (!IsReady()) return false;
  std::string itemName = name;
  if (itemName.size() < kShortestItemName)
    itemName.insert(0, kShortestItemName - itemName.size(), ' ');
  const std::string wireUnit = " " + unit;
  if (!FitsLengthField(itemName, 2) || !FitsLengthField(wireUnit, 2)) {
    SetError(kErrTextTooLong);
    return false;
  }
  const std::string text = std::string(variant ? "33024" : "33021") + PadNumber(department, 3) +
                           AmountField(price, 7, 2) + PadNumber(vatCode, 2) +
                           LengthText(itemName, 2) + LengthText(wireUnit, 2) +
                           AmountField(quantity, 4, 5) + PadNumber(quantityDenominator, 4);
  if (!RunCommand(text, kDefaultTimeOut)) return false;
  return SellFollowUp(followUpAmount);
}

bool TXruvoLinux::SetOperator(double quantity, int operatorCode, double amount, int number,
                              double followUpAmount) {
  if (!IsReady()) return false;
  const std::string text = "3301O" + AmountField(quantity, 6, 3) + PadNumber(operatorCode, 3) +
                           LengthText(std::string(kNameWidth, ' '), 2) + AmountField(amount, 7, 2) +
                           std::to_string(number);
  if (!RunCommand(text, kDefaultTimeOut)) return false;
  return SellFollowUp(followUpAmount);
}

bool TXruvoLinux::Payment(int paymentType, const std::string& text, double amount) {
  if (!IsReady()) return false;
  if (!FitsLengthField(text, 2)) {
    SetError(kErrTextTooLong);
    return false;
  }
  const std::string command = "3007" + PadNumber(WirePaymentType(paymentType), 2) + "00" +
                              LengthText(text, 2) + AmountField(amount, 7, 2);
  if (!RunCommand(command, kDefaultTimeOut, kPrinterResultLabel)) return false;
  lastPaymentAnswer_ = LastAnswer();
  return true;
}

bool TXruvoLinux::CloseReceipt() {
  frame_.SetCloseAckTimedOut(false);
  if (!IsReady()) return false;
  // "+" and the amount still due, as 7 integer and 2 decimal digits.
  const std::string& due = lastPaymentAnswer_;
  if (due.size() == kDueAnswerLength && due[0] == '+' && IsNumericText(due)) {
    const std::int64_t whole = DecimalIntOr(std::string_view(due).substr(1, 7), 0);
    const std::int64_t cents = DecimalIntOr(std::string_view(due).substr(8, 2), 0);
    const double amount = RoundAmount(static_cast<double>(whole * 100 + cents) / 100.0, 2);
    if (!Payment(kCashPayment, std::string(), amount)) return false;
  }
  const int result = Transact("3011", kCloseTimeOut);
  if (result != kOk) {
    if (result == kErrTimeOut) frame_.SetCloseAckTimedOut(FirstRxByte() == kAck);
    SetError(result);
    return false;
  }
  // The receipt is closed: what its last payment left due must not be paid again by a
  // later close on this link.
  lastPaymentAnswer_.clear();
  return true;
}

bool TXruvoLinux::Command3003() {
  if (!IsReady()) return false;
  return RunCommand("3003", kDefaultTimeOut);
}

bool TXruvoLinux::AdjustValueKind0(const std::string& /*text*/, double value) {
  if (!IsReady()) return false;
  return RunCommand("33022001" + AmountField(value, 7, 2) + "0000", kDefaultTimeOut);
}

bool TXruvoLinux::AdjustValueKind1(const std::string& text, double value) {
  return SendAdjustment("33023", text, value);
}

bool TXruvoLinux::AdjustPercentKind0(const std::string& text, double percentage) {
  return SendAdjustment("3302B", text, percentage);
}

bool TXruvoLinux::AdjustPercentKind1(const std::string& text, double percentage) {
  return SendAdjustment("3302C", text, percentage);
}

bool TXruvoLinux::SendAdjustment(const char* code, const std::string& text, double value) {
  if (!IsReady()) return false;
  const std::string label = AdjustmentLabel(text);
  if (!FitsLengthField(label, 2)) {
    SetError(kErrTextTooLong);
    return false;
  }
  return RunCommand(code + std::string("001") + AmountField(value, 7, 2) + "00" +
                        LengthText(label, 2),
                    kDefaultTimeOut);
}

bool TXruvoLinux::CancelReceipt() {
  if (!IsReady()) return false;
  if (!RunCommand("33028", kDefaultTimeOut)) return false;
  // A cancelled receipt owes nothing; a later close must not pay its old balance.
  lastPaymentAnswer_.clear();
  return true;
}

bool TXruvoLinux::PartialCut(int advanceLines) {
  if (!IsReady()) return false;
  const int lines = advanceLines >= 0 && advanceLines <= 9 ? advanceLines : 0;
  return RunCommand("3014" + std::to_string(lines), longTimeOut_);
}

bool TXruvoLinux::CutReceipt(const CutSettings& cut) {
  if (cut.mode == 1) return PartialCut(cut.advanceLines);
  if (!IsReady()) return false;
  return RunCommand("3015", kDefaultTimeOut);  // the full cut
}

}  // namespace ruvo
