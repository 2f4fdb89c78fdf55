#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace xruvo_sim {

// The receipt state the ECR reports with "1012" and "1112".
enum class ReceiptState : char {
  kNone = '0',
  kSelling = '1',     // sale lines
  kSubtotal = '2',    // after a subtotal
  kAdjusted = '3',    // after a discount or markup
  kPartlyPaid = '4',  // a payment left something due
  kPaid = '5',        // fully paid, not yet closed
  kClosed = '6',      // closed ("3011"), waiting for the cut; "3012" lines still print
};

inline constexpr int kVatGroups = 8;  // A..H

struct SaleLine {
  std::string name;
  std::string unit;
  int department = 0;
  int vatGroup = 0;           // 0..7 for A..H
  std::int64_t price = 0;     // hundredths
  std::int64_t quantity = 0;  // hundred-thousandths
  std::int64_t denominator = 1;
  std::int64_t value = 0;       // hundredths, negative for a return line
  std::int64_t adjustment = 0;  // discounts (negative) and markups on this line
  bool storno = false;
};

struct PaymentLine {
  int code = 0;  // the payment code as the ECR got it
  std::string text;
  std::int64_t amount = 0;
};

// One fiscal receipt while it is open. Amounts are hundredths.
struct FiscalReceipt {
  ReceiptState state = ReceiptState::kNone;
  int number = 0;
  std::vector<SaleLine> lines;
  std::vector<PaymentLine> payments;
  std::int64_t subtotalAdjustment = 0;  // discounts and markups on the whole receipt
  bool subtotalShown = false;           // the next adjustment applies to the subtotal

  bool Open() const { return state != ReceiptState::kNone; }
  bool AcceptsLines() const {
    return state >= ReceiptState::kSelling && state <= ReceiptState::kAdjusted;
  }
  std::int64_t Total() const;
  std::int64_t Paid() const;
  std::int64_t Due() const { return Total() - Paid() > 0 ? Total() - Paid() : 0; }
  std::int64_t Change() const { return Paid() - Total() > 0 ? Paid() - Total() : 0; }
  // Gross amount per VAT group, with the receipt-wide adjustments shared out in
  // proportion (the last group with sales takes the rounding rest).
  std::array<std::int64_t, kVatGroups> GrossByGroup() const;
};

// VAT rate of a group in hundredths of a percent.
std::int64_t VatRate(int group);
char VatLetter(int group);
// VAT contained in a gross amount.
std::int64_t VatOf(std::int64_t gross, int group);
// The payment form's name as printed, by the ECR's own code.
std::string PaymentName(int code);

}  // namespace xruvo_sim
