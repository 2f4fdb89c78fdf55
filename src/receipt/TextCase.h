#pragma once

#include <string>
#include <string_view>

namespace ruvo {

// Upper case of Windows-1250 text: ASCII letters and the accented letters of the code
// page (so "ş" matches "Ş"); every other byte stays as it is.
std::string UpperCase1250(std::string_view text);

// The text without leading and trailing blanks and control bytes (0x00..0x20).
std::string_view TrimBlanks(std::string_view text);

// True when `text` begins with `prefix`, byte for byte.
bool StartsWith(std::string_view text, std::string_view prefix);

}  // namespace ruvo
