#include "receipt/NumericRules.h"

namespace ruvo {

namespace {

constexpr std::size_t kLongestNumberField = 255;

}  // namespace

bool IsWholeNumberField(std::string_view text) {
  return text.size() <= kLongestNumberField && ParseInt32(text).has_value();
}

bool IsAmountField(std::string_view text) {
  return text.size() <= kLongestNumberField && !text.starts_with('-') &&
         ParseInt64(text).has_value();
}

std::int32_t IntValue(std::string_view text, std::int32_t fallback) {
  return ParseInt32(text).value_or(fallback);
}

std::int64_t Int64Value(std::string_view text, std::int64_t fallback) {
  return ParseInt64(text).value_or(fallback);
}

}  // namespace ruvo
