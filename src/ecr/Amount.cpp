#include "ecr/Amount.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace ruvo {

namespace {

constexpr double kNudge = 1e-10;
constexpr int kMaxDecimals = 12;

// A rounded amount as decimal digits: no leading zeros in whole (at least "0"), exactly
// f digits in decimals. A value that rounds to zero is not negative.
struct DecimalAmount {
  bool negative = false;
  std::string whole = "0";
  std::string decimals;
};

// Adds one to a string of decimal digits; returns false when it carried out of the top.
bool IncrementDigits(std::string& digits) {
  for (std::size_t k = digits.size(); k-- > 0;) {
    if (digits[k] != '9') {
      ++digits[k];
      return true;
    }
    digits[k] = '0';
  }
  return false;
}

DecimalAmount RoundDecimal(double x, int f) {
  f = f < 0 ? 0 : (f > kMaxDecimals ? kMaxDecimals : f);
  const auto width = static_cast<std::size_t>(f);
  DecimalAmount out;
  out.decimals.assign(width, '0');
  if (!std::isfinite(x)) return out;

  // Fixed notation of the shortest round-trip text: at most ~330 characters for a double.
  char text[400];
  const auto [end, error] = std::to_chars(text, text + sizeof text, x, std::chars_format::fixed);
  if (error != std::errc()) return out;
  std::string s(text, end);
  const bool negative = !s.empty() && s[0] == '-';
  if (negative) s.erase(0, 1);
  const std::size_t point = s.find('.');
  std::string whole = point == std::string::npos ? s : s.substr(0, point);
  std::string fraction = point == std::string::npos ? std::string() : s.substr(point + 1);
  if (fraction.size() < width + 1) fraction.append(width + 1 - fraction.size(), '0');

  std::string digits = whole + fraction.substr(0, width);
  if (fraction[width] >= '5' && !IncrementDigits(digits)) digits.insert(0, 1, '1');
  std::string roundedWhole = digits.substr(0, digits.size() - width);
  const std::size_t firstNonZero = roundedWhole.find_first_not_of('0');
  roundedWhole = firstNonZero == std::string::npos ? "0" : roundedWhole.substr(firstNonZero);

  out.whole = roundedWhole;
  out.decimals = digits.substr(digits.size() - width);
  out.negative = negative && digits.find_first_not_of('0') != std::string::npos;
  return out;
}

// A part of an amount as the ECR reads it: the digits as an integer, its minus sign in
// front when the amount is negative and the part is not zero, then zero-padded to k.
std::string SignedPart(const std::string& digits, bool negative, std::size_t k) {
  const std::size_t firstNonZero = digits.find_first_not_of('0');
  std::string text = firstNonZero == std::string::npos ? "0" : digits.substr(firstNonZero);
  if (negative && firstNonZero != std::string::npos) text.insert(0, 1, '-');
  if (text.size() < k) text.insert(0, k - text.size(), '0');
  return text;
}

}  // namespace

double RoundAmount(double x, int f) {
  const DecimalAmount rounded = RoundDecimal(x, f);
  std::string text = rounded.negative ? "-" : "";
  text += rounded.whole;
  if (!rounded.decimals.empty()) text += "." + rounded.decimals;
  return std::strtod(text.c_str(), nullptr);
}

std::int64_t TruncNudged(double y) {
  const double nudged = y > 0 ? y + kNudge : y - kNudge;
  if (!std::isfinite(nudged) || std::fabs(nudged) >= 9.2e18) return 0;
  return static_cast<std::int64_t>(std::trunc(nudged));
}

std::string PadNumber(std::int64_t value, std::size_t k) {
  std::string text = std::to_string(value);
  if (text.size() < k) text.insert(0, k - text.size(), '0');
  return text;
}

std::string AmountField(double value, std::size_t i, int f) {
  const DecimalAmount rounded = RoundDecimal(value, f);
  std::string field = SignedPart(rounded.whole, rounded.negative, i);
  if (f > 0) field += SignedPart(rounded.decimals, rounded.negative, static_cast<std::size_t>(f));
  return field;
}

std::string LengthText(const std::string& text, std::size_t k) {
  return PadNumber(static_cast<std::int64_t>(text.size()), k) + text;
}

bool FitsLengthField(const std::string& text, std::size_t k) {
  return std::to_string(text.size()).size() <= k;
}

}  // namespace ruvo
