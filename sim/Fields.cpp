#include "Fields.h"

#include <cstdlib>

namespace xruvo_sim {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits, with at most one "-" that may only follow leading zeros ("00000-5").
bool ParseSignedField(const std::string& field, std::int64_t& out, bool& negative) {
  if (field.empty()) return false;
  negative = false;
  std::int64_t value = 0;
  bool seenNonZero = false;
  for (char c : field) {
    if (c == '-') {
      if (negative || seenNonZero) return false;
      negative = true;
      continue;
    }
    if (!IsDigit(c)) return false;
    if (c != '0') seenNonZero = true;
    value = value * 10 + (c - '0');
  }
  out = value;
  return true;
}

std::int64_t PowerOfTen(std::size_t f) {
  std::int64_t p = 1;
  for (std::size_t k = 0; k < f; ++k) p *= 10;
  return p;
}

}  // namespace

bool FieldReader::Number(std::size_t k, std::int64_t& out) {
  if (Remaining() < k || k == 0 || k > 18) return false;
  std::int64_t value = 0;
  for (std::size_t n = 0; n < k; ++n) {
    const char c = text_[pos_ + n];
    if (!IsDigit(c)) return false;
    value = value * 10 + (c - '0');
  }
  pos_ += k;
  out = value;
  return true;
}

bool FieldReader::Digit(int& out) {
  std::int64_t v = 0;
  if (!Number(1, v)) return false;
  out = static_cast<int>(v);
  return true;
}

bool FieldReader::Amount(std::size_t i, std::size_t f, std::int64_t& out,
                         std::optional<std::size_t> tailLength) {
  if (Remaining() < i + f || i > 12 || f > 6) return false;
  std::int64_t whole = 0;
  bool wholeNegative = false;
  if (!ParseSignedField(text_.substr(pos_, i), whole, wholeNegative)) return false;
  std::size_t decimalsWidth = f;
  if (f > 0 && text_[pos_ + i] == '-') {
    decimalsWidth = f + 1;
    if (tailLength && Remaining() >= i + *tailLength) {
      const std::size_t width = Remaining() - i - *tailLength;
      if (width == f || width == f + 1) decimalsWidth = width;
    }
  }
  if (Remaining() < i + decimalsWidth) return false;
  std::int64_t decimals = 0;
  bool decimalsNegative = false;
  if (f > 0 && !ParseSignedField(text_.substr(pos_ + i, decimalsWidth), decimals, decimalsNegative))
    return false;
  const std::int64_t magnitude = whole * PowerOfTen(f) + decimals;
  out = (wholeNegative || decimalsNegative) ? -magnitude : magnitude;
  pos_ += i + decimalsWidth;
  return true;
}

bool FieldReader::LengthText(std::size_t k, std::string& out) {
  const std::size_t start = pos_;
  std::int64_t length = 0;
  if (!Number(k, length)) return false;
  if (static_cast<std::size_t>(length) > Remaining()) {
    pos_ = start;
    return false;
  }
  out = text_.substr(pos_, static_cast<std::size_t>(length));
  pos_ += static_cast<std::size_t>(length);
  return true;
}

bool FieldReader::Literal(const std::string& expected) {
  if (text_.compare(pos_, expected.size(), expected) != 0) return false;
  pos_ += expected.size();
  return true;
}

bool FieldReader::Text(std::size_t count, std::string& out) {
  if (Remaining() < count) return false;
  out = text_.substr(pos_, count);
  pos_ += count;
  return true;
}

std::string PadNumber(std::int64_t value, std::size_t width) {
  const bool negative = value < 0;
  std::string digits = std::to_string(negative ? -value : value);
  const std::size_t room = negative && width > 0 ? width - 1 : width;
  if (digits.size() < room) digits.insert(0, room - digits.size(), '0');
  return negative ? "-" + digits : digits;
}

std::string SignedAmount10(std::int64_t hundredths) {
  const char sign = hundredths < 0 ? '-' : '+';
  std::int64_t magnitude = std::llabs(hundredths);
  if (magnitude > 999999999) magnitude = 999999999;
  return std::string(1, sign) + PadNumber(magnitude, 9);
}

std::string MoneyText(std::int64_t hundredths) {
  const bool negative = hundredths < 0;
  const std::int64_t magnitude = std::llabs(hundredths);
  std::string out = std::to_string(magnitude / 100) + "." + PadNumber(magnitude % 100, 2);
  return negative ? "-" + out : out;
}

std::string QuantityText(std::int64_t q) {
  const bool negative = q < 0;
  const std::int64_t magnitude = std::llabs(q);
  std::string decimals = PadNumber(magnitude % 100000, 5);
  while (decimals.size() > 3 && decimals.back() == '0') decimals.pop_back();
  std::string out = std::to_string(magnitude / 100000) + "." + decimals;
  return negative ? "-" + out : out;
}

std::int64_t DivideRounded(std::int64_t numerator, std::int64_t denominator) {
  if (denominator == 0) return 0;
  if (denominator < 0) {
    numerator = -numerator;
    denominator = -denominator;
  }
  const std::int64_t half = denominator / 2;
  if (numerator >= 0) return (numerator + half) / denominator;
  return -((-numerator + half) / denominator);
}

}  // namespace xruvo_sim
