#include "Receipt.h"

#include "Fields.h"

namespace xruvo_sim {

std::int64_t FiscalReceipt::Total() const {
  std::int64_t total = subtotalAdjustment;
  for (const SaleLine& line : lines) total += line.value + line.adjustment;
  return total;
}

std::int64_t FiscalReceipt::Paid() const {
  std::int64_t paid = 0;
  for (const PaymentLine& p : payments) paid += p.amount;
  return paid;
}

std::array<std::int64_t, kVatGroups> FiscalReceipt::GrossByGroup() const {
  std::array<std::int64_t, kVatGroups> gross{};
  for (const SaleLine& line : lines)
    gross[static_cast<std::size_t>(line.vatGroup)] += line.value + line.adjustment;
  std::int64_t base = 0;
  int lastGroup = -1;
  for (int g = 0; g < kVatGroups; ++g) {
    if (gross[static_cast<std::size_t>(g)] != 0) {
      base += gross[static_cast<std::size_t>(g)];
      lastGroup = g;
    }
  }
  if (subtotalAdjustment == 0 || base == 0 || lastGroup < 0) return gross;
  std::int64_t shared = 0;
  for (int g = 0; g < lastGroup; ++g) {
    auto& v = gross[static_cast<std::size_t>(g)];
    if (v == 0) continue;
    const std::int64_t part = DivideRounded(subtotalAdjustment * v, base);
    v += part;
    shared += part;
  }
  gross[static_cast<std::size_t>(lastGroup)] += subtotalAdjustment - shared;
  return gross;
}

std::int64_t VatRate(int group) {
  static constexpr std::int64_t kRates[kVatGroups] = {1900, 900, 500, 0, 0, 0, 0, 0};
  if (group < 0 || group >= kVatGroups) return 0;
  return kRates[group];
}

char VatLetter(int group) {
  if (group < 0 || group >= kVatGroups) return '?';
  return static_cast<char>('A' + group);
}

std::int64_t VatOf(std::int64_t gross, int group) {
  const std::int64_t rate = VatRate(group);
  return DivideRounded(gross * rate, 10000 + rate);
}

std::string PaymentName(int code) {
  switch (code) {
    case 1:
      return "CARD";
    case 2:
      return "CEC";
    case 3:
      return "NUMERAR";
    case 4:
      return "TICHET MASA";
    case 5:
      return "BON VALORIC";
    case 6:
      return "DEBIT CARD";
    case 7:
      return "TICHET CADOU";
    default:
      return "PLATA " + PadNumber(code, 2);
  }
}

}  // namespace xruvo_sim
