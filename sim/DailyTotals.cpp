#include "DailyTotals.h"

#include "Fields.h"

namespace xruvo_sim {

namespace {

struct FieldValue {
  std::int64_t value;
  std::size_t width;
};

std::array<FieldValue, 32> Fields(const DailyTotals& t) {
  std::array<FieldValue, 32> f{};
  f[0] = {t.receipts, 4};
  f[1] = {t.total, 9};
  for (std::size_t g = 0; g < kVatGroups; ++g) {
    f[2 + 2 * g] = {t.net[g], 9};
    f[3 + 2 * g] = {t.vat[g], 9};
  }
  f[18] = {t.drawerCash, 9};
  f[19] = {t.unpaid, 9};
  f[20] = {t.withdrawals, 4};
  f[21] = {t.withdrawn, 9};
  f[22] = {t.floats, 4};
  f[23] = {t.floatTotal, 9};
  f[24] = {t.cancelled, 4};
  f[25] = {t.cancelledTotal, 9};
  f[26] = {t.corrections, 4};
  f[27] = {t.correctionsTotal, 9};
  f[28] = {t.discounts, 4};
  f[29] = {t.discountTotal, 9};
  f[30] = {t.markups, 4};
  f[31] = {t.markupTotal, 9};
  return f;
}

// A value that does not fit its field is held at the largest that does, so the block
// keeps its 253 characters whatever the day was like.
std::string Fit(std::int64_t value, std::size_t width) {
  std::int64_t limit = 1;
  for (std::size_t k = 0; k < (value < 0 ? width - 1 : width); ++k) limit *= 10;
  if (value >= limit) value = limit - 1;
  if (value <= -limit) value = -(limit - 1);
  return PadNumber(value, width);
}

}  // namespace

std::string DailyTotals::Block() const {
  std::string out;
  for (const FieldValue& f : Fields(*this)) out += Fit(f.value, f.width);
  return out;
}

std::string DailyTotals::Field(int number) const {
  if (number < 1 || number > 32) return Fit(total, 9);
  return Fit(Fields(*this)[static_cast<std::size_t>(number - 1)].value, 9);
}

void DailyTotals::AddReceipt(const FiscalReceipt& receipt) {
  ++receipts;
  total += receipt.Total();
  const auto gross = receipt.GrossByGroup();
  for (int g = 0; g < kVatGroups; ++g) {
    const std::int64_t v = VatOf(gross[static_cast<std::size_t>(g)], g);
    vat[static_cast<std::size_t>(g)] += v;
    net[static_cast<std::size_t>(g)] += gross[static_cast<std::size_t>(g)] - v;
  }
  for (const SaleLine& line : receipt.lines) {
    if (line.storno) {
      ++corrections;
      correctionsTotal += -line.value;
    }
  }
}

}  // namespace xruvo_sim
