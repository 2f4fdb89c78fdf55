#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace ruvo {

// The one reading of a decimal integer's text, for the receipt fields, the settings and
// the dialogs alike: an optional "+" or "-" followed by at least one digit and nothing
// else (no blanks, no decimals), within the range of the type; leading zeros are allowed.
// Anything else gives std::nullopt. Each caller adds its own rule on top (blanks trimmed,
// no sign, a length or a range) and its own message.
std::optional<std::int64_t> ParseInt64(std::string_view text);
std::optional<std::int32_t> ParseInt32(std::string_view text);

}  // namespace ruvo
