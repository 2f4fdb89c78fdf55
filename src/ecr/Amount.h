#pragma once

#include <cstdint>
#include <string>

namespace ruvo {

// The ECR's fixed-width numeric fields. Amounts travel as an integer part and a decimals
// part, each a zero-padded decimal integer, with no decimal point.

// x rounded half away from zero to f decimals (f 0..12). The rounding is done on the
// shortest decimal text that reads back as x, so 1.005 or 9999999.995 round the way the
// amount was written, not the way binary floating point happens to hold it. Values that
// are not finite count as 0.
double RoundAmount(double x, int f);

// The integer part of y nudged by 1e-10 away from zero (up for y > 0, down otherwise),
// so that 2.9999999999999996 counts as 3 and -2.9999999999999996 as -3.
std::int64_t TruncNudged(double y);

// Nk: value in decimal, left-padded with "0" to k characters, never cut. A negative value
// keeps its minus sign inside the padding (-5 as N7 is "00000-5").
std::string PadNumber(std::int64_t value, std::size_t k);

// Amt(i,f): value rounded by RoundAmount to f decimals, its integer part as Ni, then its
// decimals as Nf. Both parts carry the sign of a negative value, so -5.25 as Amt(7,2) is
// "00000-5" followed by "-25".
std::string AmountField(double value, std::size_t i, int f);

// Lk(T): the length of text as Nk, then the text.
std::string LengthText(const std::string& text, std::size_t k);

// True when the length of text can be written in k digits. A longer length would not be
// cut but would shift every field after it, so commands refuse such a text.
bool FitsLengthField(const std::string& text, std::size_t k);

}  // namespace ruvo
