#pragma once

#include <cstdint>
#include <string_view>

namespace ruvo {

// The one reading of an amount of money that an operator or a till gives: the window's
// cash dialog, `ruvo_drv ctl`, the HTTP operations and the receipt files' amount fields.
// An amount is exact to the hundredth or refused; it is never rounded, so "2.505" is
// refused rather than read as 2.51 (or 2.50).
//
// Text: an optional "+", digits, and where a decimal form is allowed, one separator
// followed by one or two digits (digits before it or after it, at least one in all:
// "12", "12.5", "12.50", ".50", "12."). No blanks, no minus, no exponent: the operation
// says which way the money goes, never a sign.

enum class AmountProblem {
  None,
  NotANumber,       // empty, a stray character, a second separator, a sign other than "+"
  TooManyDecimals,  // a third decimal or more ("2.505", also "2.500")
  NotPositive,      // zero where the operation needs money to move
  TooLarge,         // more than the rule's largest amount
};

struct AmountRule {
  // The decimal separator accepted, or 0 for whole hundredths only (the receipt files:
  // "250" is 2.50).
  char separator = '.';
  bool positive = true;  // zero is refused
  // The largest amount in hundredths: by default what the ECR's 7 whole digits can carry.
  std::int64_t largestHundredths = 999'999'999;
};

struct AmountReading {
  AmountProblem problem = AmountProblem::None;
  std::int64_t hundredths = 0;  // when problem is None

  bool Ok() const { return problem == AmountProblem::None; }
};

AmountReading ReadAmount(std::string_view text, const AmountRule& rule);

// The money of hundredths as the ECR's commands take it (2.5 for 250): exact, since the
// amount fields are formed from the shortest decimal text of the value.
double AmountValue(std::int64_t hundredths);

}  // namespace ruvo
