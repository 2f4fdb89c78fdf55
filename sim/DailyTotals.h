#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "Receipt.h"

namespace xruvo_sim {

// What the ECR sums up between two Z reports; "1004" sends it as a 253-character block,
// "1113" one field of it.
struct DailyTotals {
  int receipts = 0;
  std::int64_t total = 0;
  std::array<std::int64_t, kVatGroups> net{};
  std::array<std::int64_t, kVatGroups> vat{};
  std::int64_t drawerCash = 0;
  std::int64_t unpaid = 0;
  int withdrawals = 0;
  std::int64_t withdrawn = 0;
  int floats = 0;
  std::int64_t floatTotal = 0;
  int cancelled = 0;
  std::int64_t cancelledTotal = 0;
  int corrections = 0;
  std::int64_t correctionsTotal = 0;
  int discounts = 0;
  std::int64_t discountTotal = 0;
  int markups = 0;
  std::int64_t markupTotal = 0;

  // The 32 fields in block order, counts 4 characters wide, amounts 9.
  std::string Block() const;
  // One field (1..32) widened to 9 characters; field 0 is the day's total.
  std::string Field(int number) const;
  // Adds a closed receipt.
  void AddReceipt(const FiscalReceipt& receipt);
};

}  // namespace xruvo_sim
