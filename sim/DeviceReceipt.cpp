// The fiscal receipt: sales, adjustments, payments, close, cut and cancel.
#include <cstdlib>

#include "Device.h"

namespace xruvo_sim {

namespace {

constexpr std::int64_t kMaxReceiptTotal = 999999999;  // 9,999,999.99
constexpr std::int64_t kDayMs = 24LL * 60 * 60 * 1000;
constexpr int kCashCode = 3;
constexpr int kHighestPaymentCode = 10;

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

}  // namespace

bool Device::ZReportDue() const {
  return conditions_.zDue || ToEpochMs(DeviceTime()) - lastZAtMs_ >= kDayMs;
}

Answer Device::LineRefusal() const {
  if (receipt_.state == ReceiptState::kPartlyPaid) return Answer::Err(ecr_error::kPartlyPaid);
  return Answer::Err(ecr_error::kImpossible);
}

void Device::OpenReceiptIfNone() {
  if (receipt_.Open()) return;
  receipt_ = FiscalReceipt{};
  receipt_.number = lastReceiptNumber_ % 9999 + 1;
  receipt_.state = ReceiptState::kSelling;
  receiptCash_ = 0;
  PrintHeader();
  paper_.Centered("BON FISCAL");
}

Answer Device::Sale(FieldReader& f, bool storno) {
  std::int64_t department = 0, price = 0, vat = 0, quantity = 0, denominator = 0;
  std::string name, unit;
  if (!f.Number(3, department) || !f.Amount(7, 2, price) || !f.Number(2, vat) ||
      !f.LengthText(2, name) || !f.LengthText(2, unit) || !f.Amount(4, 5, quantity) ||
      !f.Number(4, denominator) || !f.AtEnd())
    return Answer::Err(ecr_error::kBadLength);
  if (nonFiscalOpen_) return Answer::Err(ecr_error::kDocumentOpen);
  if (const int fault = FiscalMemoryFault()) return Answer::Err(fault);
  if (const int fault = PrinterFault()) return Answer::Err(fault);
  if (receipt_.Open() && !receipt_.AcceptsLines()) return LineRefusal();
  if (ZReportDue()) return Answer::Err(ecr_error::kZDue);
  if (price < 0 || quantity <= 0 || denominator <= 0 || vat > kVatGroups || Trimmed(name).empty())
    return Answer::Err(ecr_error::kInvalidValue);
  // price and quantity are at most nine digits each, so the product fits in 64 bits.
  std::int64_t value = DivideRounded(price * quantity, 100000 * denominator);
  if (storno) value = -value;
  const std::int64_t before = receipt_.Open() ? receipt_.Total() : 0;
  if (std::llabs(before + value) > kMaxReceiptTotal) return Answer::Err(ecr_error::kReceiptLimit);

  OpenReceiptIfNone();
  SaleLine line;
  line.name = Trimmed(name);
  line.unit = Trimmed(unit);
  line.department = static_cast<int>(department);
  line.vatGroup = vat == 0 ? 0 : static_cast<int>(vat - 1);
  line.price = price;
  line.quantity = quantity;
  line.denominator = denominator;
  line.value = value;
  line.storno = storno;
  receipt_.lines.push_back(line);
  receipt_.state = ReceiptState::kSelling;
  receipt_.subtotalShown = false;

  if (storno) Print("STORNO");
  std::string quantityText = QuantityText(quantity);
  if (denominator != 1) quantityText += "/" + std::to_string(denominator);
  Print(quantityText + (line.unit.empty() ? "" : " " + line.unit) + " x " + MoneyText(price));
  PrintColumns(line.name, MoneyText(value) + " " + std::string(1, VatLetter(line.vatGroup)));
  return Answer::Ok();
}

Answer Device::Subtotal(FieldReader& f) {
  if (!f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
  if (!receipt_.Open()) return Answer::Err(ecr_error::kImpossible);
  if (receipt_.state >= ReceiptState::kPaid) return Answer::Err(ecr_error::kImpossible);
  if (const int fault = PrinterFault()) return Answer::Err(fault);
  if (receipt_.state != ReceiptState::kPartlyPaid) receipt_.state = ReceiptState::kSubtotal;
  receipt_.subtotalShown = true;
  PrintColumns("SUBTOTAL", MoneyText(receipt_.Total()));
  return Answer::Ok(SignedAmount10(receipt_.Total()));
}

Answer Device::Adjust(FieldReader& f, bool percent, bool discount) {
  std::int64_t value = 0;
  std::string text;
  if (!f.Literal("001") || !f.Amount(7, 2, value) || !f.Literal("00") || !f.LengthText(2, text) ||
      !f.AtEnd())
    return Answer::Err(ecr_error::kBadLength);
  if (!receipt_.Open() || !receipt_.AcceptsLines()) return LineRefusal();
  if (receipt_.lines.empty()) return Answer::Err(ecr_error::kImpossible);
  if (const int fault = PrinterFault()) return Answer::Err(fault);
  if (value < 0 || (percent && value > 10000)) return Answer::Err(ecr_error::kInvalidValue);

  const bool onSubtotal = receipt_.subtotalShown;
  SaleLine& last = receipt_.lines.back();
  if (!onSubtotal && last.storno) return Answer::Err(ecr_error::kInvalidValue);
  const std::int64_t base = onSubtotal ? receipt_.Total() : last.value + last.adjustment;
  std::int64_t amount = percent ? DivideRounded(base * value, 10000) : value;
  if (discount) {
    if (amount > base) return Answer::Err(ecr_error::kNegativeTotal);
    amount = -amount;
    ++totals_.discounts;
    totals_.discountTotal += -amount;
  } else {
    ++totals_.markups;
    totals_.markupTotal += amount;
  }
  if (onSubtotal) {
    receipt_.subtotalAdjustment += amount;
  } else {
    last.adjustment += amount;
  }
  receipt_.state = ReceiptState::kAdjusted;
  receipt_.subtotalShown = false;
  std::string label = Trimmed(text);
  if (label.empty()) label = discount ? "DISCOUNT" : "ADAOS";
  if (percent) label += " " + MoneyText(value) + "%";
  PrintColumns(label, MoneyText(amount));
  return Answer::Ok();
}

// A value discount on the sale just made (a negative amount is a markup).
Answer Device::FollowUpAmount(FieldReader& f) {
  std::int64_t amount = 0;
  std::string name;
  if (!f.Literal("000000") || !f.Literal("000") || !f.Literal("000") || !f.LengthText(2, name) ||
      !f.Amount(7, 2, amount, 1) || !f.Literal("0") || !f.AtEnd())
    return Answer::Err(ecr_error::kBadLength);
  if (!receipt_.Open() || !receipt_.AcceptsLines()) return LineRefusal();
  if (receipt_.lines.empty()) return Answer::Err(ecr_error::kImpossible);
  SaleLine& last = receipt_.lines.back();
  if (amount > last.value + last.adjustment) return Answer::Err(ecr_error::kNegativeTotal);
  last.adjustment -= amount;
  if (amount >= 0) {
    ++totals_.discounts;
    totals_.discountTotal += amount;
  } else {
    ++totals_.markups;
    totals_.markupTotal += -amount;
  }
  const std::string label =
      Trimmed(name).empty() ? (amount >= 0 ? "DISCOUNT" : "ADAOS") : Trimmed(name);
  PrintColumns(label, MoneyText(-amount));
  return Answer::Ok();
}

Answer Device::SetOperator(FieldReader& f) {
  std::int64_t quantity = 0, code = 0, amount = 0;
  std::string name;
  int number = 0;
  if (!f.Amount(6, 3, quantity) || !f.Number(3, code) || !f.LengthText(2, name) ||
      !f.Amount(7, 2, amount, 1) || !f.Digit(number) || !f.AtEnd())
    return Answer::Err(ecr_error::kBadLength);
  operator_ = static_cast<int>(code);
  return Answer::Ok();
}

Answer Device::Payment(FieldReader& f) {
  std::int64_t code = 0, amount = 0;
  std::string text;
  if (!f.Number(2, code) || !f.Literal("00") || !f.LengthText(2, text) ||
      !f.Amount(7, 2, amount, 0) || !f.AtEnd())
    return Answer::Err(ecr_error::kBadLength);
  if (!receipt_.Open() || receipt_.state >= ReceiptState::kPaid)
    return Answer::Err(ecr_error::kImpossible);
  if (const int fault = PrinterFault()) return Answer::Err(fault);
  if (code < 1 || code > kHighestPaymentCode ||
      conditions_.refusedPayments.count(static_cast<int>(code)) != 0) {
    extendedError_ = extended_error::kBadPayment;
    return Answer::Err(ecr_error::kExtended);
  }
  if (amount < 0) return Answer::Err(ecr_error::kInvalidValue);
  if (receipt_.Total() < 0) return Answer::Err(ecr_error::kNegativeTotal);
  // Change comes out of the drawer, so only cash may pay more than is due.
  if (code != kCashCode && amount > receipt_.Due()) {
    extendedError_ = extended_error::kOverpaid;
    return Answer::Err(ecr_error::kExtended);
  }

  receipt_.payments.push_back(PaymentLine{static_cast<int>(code), Trimmed(text), amount});
  if (code == kCashCode) receiptCash_ += amount;
  const std::string label =
      PaymentName(static_cast<int>(code)) +
      (Trimmed(text).empty() || Trimmed(text) == PaymentName(static_cast<int>(code))
           ? ""
           : " " + Trimmed(text));
  PrintColumns(label, MoneyText(amount));
  if (receipt_.Due() > 0) {
    receipt_.state = ReceiptState::kPartlyPaid;
    return Answer::Ok("+" + PadNumber(receipt_.Due(), 9));
  }
  receipt_.state = ReceiptState::kPaid;
  const std::int64_t change = receipt_.Change();
  if (change > 0) {
    PrintColumns("REST", MoneyText(change));
    receiptCash_ -= change;  // change is always given in cash
  }
  return Answer::Ok("-" + PadNumber(change, 9));
}

// Pays what is still due in cash, prints the total and the VAT, and books the receipt
// into the day's totals.
void Device::CloseReceiptNow() {
  const std::int64_t due = receipt_.Due();
  if (due > 0) {
    receipt_.payments.push_back(PaymentLine{kCashCode, {}, due});
    receiptCash_ += due;
    PrintColumns(PaymentName(kCashCode), MoneyText(due));
  }
  PrintColumns("TOTAL", MoneyText(receipt_.Total()));
  const auto gross = receipt_.GrossByGroup();
  for (int g = 0; g < kVatGroups; ++g) {
    const std::int64_t amount = gross[static_cast<std::size_t>(g)];
    if (amount == 0) continue;
    PrintColumns("TVA " + std::string(1, VatLetter(g)) + " " + MoneyText(VatRate(g)) + "%",
                 MoneyText(VatOf(amount, g)));
  }
  totals_.AddReceipt(receipt_);
  for (const SaleLine& line : receipt_.lines)
    departments_[line.department] += line.value + line.adjustment;
  totals_.drawerCash += receiptCash_;
  receiptCash_ = 0;
  receipt_.state = ReceiptState::kClosed;
}

Answer Device::Close(FieldReader& f) {
  if (!f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
  if (!receipt_.Open() || receipt_.state == ReceiptState::kClosed)
    return Answer::Err(ecr_error::kImpossible);
  if (const int fault = PrinterFault()) return Answer::Err(fault);
  if (receipt_.Total() < 0) return Answer::Err(ecr_error::kNegativeTotal);
  CloseReceiptNow();
  return Answer::Ok();
}

void Device::FinishReceipt() {
  Print("");
  PrintFooter("BON FISCAL NR. " + PadNumber(receipt_.number, 4));
  journal_.push_back(
      JournalEntry{lastZNumber_ + 1, receipt_.number, DeviceTime(), receipt_.Total(), false});
  lastReceiptNumber_ = receipt_.number;
  receipt_ = FiscalReceipt{};
}

Answer Device::Cut(int advanceLines) {
  if (nonFiscalOpen_) return Answer::Err(ecr_error::kDocumentOpen);
  if (conditions_.cutterError) return Answer::Err(ecr_error::kCutter);
  if (const int fault = PrinterFault()) return Answer::Err(fault);
  if (receipt_.Open()) {
    if (receipt_.state < ReceiptState::kPaid) return Answer::Err(ecr_error::kPartlyPaid);
    if (receipt_.state == ReceiptState::kPaid) {
      if (receipt_.Total() < 0) return Answer::Err(ecr_error::kNegativeTotal);
      CloseReceiptNow();
    }
    FinishReceipt();
  }
  for (int k = 0; k < advanceLines; ++k) paper_.Line("");
  paper_.Cut();
  return Answer::Ok();
}

Answer Device::PartialCut(FieldReader& f) {
  int lines = 0;
  if (!f.AtEnd() && (!f.Digit(lines) || !f.AtEnd())) return Answer::Err(ecr_error::kBadLength);
  return Cut(lines);
}

Answer Device::FullCut(FieldReader& f) {
  if (!f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
  return Cut(0);
}

bool Device::CancelAtKeyboard() {
  const std::string nothing;
  FieldReader none(nothing);
  return Cancel(none).kind != Answer::Kind::Error;
}

void Device::PowerCycle() {
  if (receipt_.state == ReceiptState::kClosed) {
    // Closed by "3011" and counted: the ECR prints its end when it comes back.
    FinishReceipt();
    return;
  }
  receipt_ = FiscalReceipt{};
  receiptCash_ = 0;
  nonFiscalOpen_ = false;
}

// A cancelled receipt keeps its number: it was printed and stays in the journal.
Answer Device::Cancel(FieldReader& f) {
  if (!f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
  if (!receipt_.Open() || receipt_.state == ReceiptState::kClosed)
    return Answer::Err(ecr_error::kImpossible);
  if (const int fault = PrinterFault()) return Answer::Err(fault);
  PrintColumns("ANULARE BON", MoneyText(receipt_.Total()));
  ++totals_.cancelled;
  totals_.cancelledTotal += receipt_.Total();
  receiptCash_ = 0;
  Print("");
  PrintFooter("BON ANULAT NR. " + PadNumber(receipt_.number, 4));
  journal_.push_back(
      JournalEntry{lastZNumber_ + 1, receipt_.number, DeviceTime(), receipt_.Total(), true});
  lastReceiptNumber_ = receipt_.number;
  receipt_ = FiscalReceipt{};
  return Answer::Ok();
}

}  // namespace xruvo_sim
