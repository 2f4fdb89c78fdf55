#include "platform/AmountText.h"

#include <limits>

namespace ruvo {

namespace {

constexpr int kDecimals = 2;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// value * 10 + digit, or false when it leaves the 64-bit range.
bool AddDigit(std::int64_t& value, char digit) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  const int d = digit - '0';
  if (value > (kMax - d) / 10) return false;
  value = value * 10 + d;
  return true;
}

AmountReading Problem(AmountProblem problem) { return AmountReading{problem, 0}; }

}  // namespace

AmountReading ReadAmount(std::string_view text, const AmountRule& rule) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  std::int64_t hundredths = 0;
  bool tooLarge = false;
  int digits = 0;
  int decimals = -1;  // -1 before the separator
  for (const char c : text) {
    if (IsDigit(c)) {
      ++digits;
      if (decimals >= 0) ++decimals;
      if (decimals > kDecimals) continue;  // told below, once the text is known a number
      if (!AddDigit(hundredths, c)) tooLarge = true;
    } else if (rule.separator != 0 && c == rule.separator && decimals < 0) {
      decimals = 0;
    } else {
      return Problem(AmountProblem::NotANumber);
    }
  }
  if (digits == 0) return Problem(AmountProblem::NotANumber);
  if (decimals > kDecimals) return Problem(AmountProblem::TooManyDecimals);
  if (rule.separator != 0) {
    // Whole units and fewer than two decimals: scale to hundredths.
    for (int k = decimals < 0 ? 0 : decimals; k < kDecimals && !tooLarge; ++k) {
      if (!AddDigit(hundredths, '0')) tooLarge = true;
    }
  }
  if (tooLarge || hundredths > rule.largestHundredths) return Problem(AmountProblem::TooLarge);
  if (rule.positive && hundredths == 0) return Problem(AmountProblem::NotPositive);
  return AmountReading{AmountProblem::None, hundredths};
}

double AmountValue(std::int64_t hundredths) { return static_cast<double>(hundredths) / 100.0; }

}  // namespace ruvo
