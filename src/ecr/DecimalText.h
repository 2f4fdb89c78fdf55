#pragma once

#include <cstdint>
#include <string_view>

namespace ruvo {

// Reads a whole text as a decimal integer: an optional "+" or "-", then at least one digit,
// nothing else, within the 32-bit range. False (and value untouched) otherwise.
bool ParseDecimalInt(std::string_view text, std::int32_t& value);

// The same, with a fallback for text that is not such a number.
std::int32_t DecimalIntOr(std::string_view text, std::int32_t fallback);

}  // namespace ruvo
