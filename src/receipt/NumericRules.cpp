#include "receipt/NumericRules.h"

#include <limits>

namespace ruvo {

namespace {

constexpr std::size_t kLongestNumberField = 255;

}  // namespace

bool IsWholeNumberField(std::string_view text) {
  return text.size() <= kLongestNumberField && ParseInt32(text).has_value();
}

bool IsAmountField(std::string_view text) {
  AmountRule rule;
  rule.separator = 0;  // whole hundredths
  rule.positive = false;
  rule.largestHundredths = std::numeric_limits<std::int64_t>::max();
  return text.size() <= kLongestNumberField && ReadAmount(text, rule).Ok();
}

bool IsCashAmountField(std::string_view text) {
  AmountRule rule;
  rule.separator = 0;
  return text.size() <= kLongestNumberField && ReadAmount(text, rule).Ok();
}

std::int32_t IntValue(std::string_view text, std::int32_t fallback) {
  return ParseInt32(text).value_or(fallback);
}

std::int64_t Int64Value(std::string_view text, std::int64_t fallback) {
  return ParseInt64(text).value_or(fallback);
}

}  // namespace ruvo
