#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace ruvo {

// The numeric-field rule of the receipt language: not empty, at most 255 characters,
// only digits, "+", "-" and the decimal separator, and the first "-" and the first "+"
// (when there is one) stand at the very start. It deliberately lets through texts such
// as "-12-3" or "1.5"; the range checks then read them as integers and get the default.
bool IsNumericField(std::string_view text, char decimalSeparator);

// A valid integer is an optional sign followed by at least one digit and nothing else,
// within the range of the type. Anything else gives std::nullopt.
std::optional<std::int32_t> ParseInt32(std::string_view text);
std::optional<std::int64_t> ParseInt64(std::string_view text);

// The integer value of a field as the checkers compare it: `fallback` (0 unless a
// command says -1) when the text is not a valid integer.
std::int32_t IntValue(std::string_view text, std::int32_t fallback = 0);
std::int64_t Int64Value(std::string_view text, std::int64_t fallback = 0);

}  // namespace ruvo
