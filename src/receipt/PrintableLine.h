#pragma once

#include <string>

#include "receipt/LineCheck.h"

namespace ruvo {

// A receipt line is printable text: a control character anywhere in it (NUL, ESC, TAB, DEL
// ...) would reach the ECR's paper or its command decoding. The line is refused with 8053,
// the character's code, its field (counted from 0) and its position in the field (from 1),
// and the line with each control character shown as "?", so that the answer file stays
// text.
inline constexpr const char* kControlCharacterCode = "8053";
CheckResult CheckPrintableLine(const std::string& line);

}  // namespace ruvo
