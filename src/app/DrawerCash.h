#pragma once

#include <string>

namespace ruvo {

// The drawer cash as the response line shows it. The ECR gives exactly 10 characters: a
// sign, 7 digits of whole units and 2 of hundredths ("+000123456" is 1234.56). A "+" is
// dropped, any other sign kept; the units lose their leading zeros ("0" when all are zero).
// Text of any other length is passed through unchanged, so nothing the ECR said is lost.
std::string FormatDrawerCash(const std::string& ecrAmount);

}  // namespace ruvo
