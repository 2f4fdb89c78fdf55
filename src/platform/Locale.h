#pragma once

#include <string>

namespace ruvo {

// The decimal separator of the user's regional settings (LC_NUMERIC), "." when none is set.
char DecimalSeparator();

// Numeric text as the driver understands it: not empty, "+" or "-" only as the first
// character, every character a digit, a sign or the decimal separator.
bool IsNumericText(const std::string& text);

// Every character a digit; the empty text counts as all digits.
bool IsAllDigits(const std::string& text);

}  // namespace ruvo
