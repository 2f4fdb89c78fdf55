#pragma once

#include "receipt/LineCheck.h"

namespace ruvo {

// Text lines "2", "11", "111", "12" and "21": a font and a text that fits the font.
CheckResult CheckTextLine(const LineContext& context);

// The longest text a valid font field allows, or 0 when the font is not valid.
std::size_t LongestTextForFont(const std::string& font);

}  // namespace ruvo
