#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/AmountText.h"   // ReadAmount: the amount rule
#include "platform/IntegerText.h"  // ParseInt32, ParseInt64: the integer text rule

namespace ruvo {

// The receipt language has no decimals: every number in it is a whole number, and an
// amount is a count of hundredths. A field that passed a looser rule ("2.50", "2,50",
// "-12-3") used to be read as 0 by the executor, which then printed a sale at 0.00; so
// the checkers take a field as a number only when it reads back as one, whatever
// decimal separator the regional settings name.

// A number field: not empty, at most 255 characters, an optional "+" or "-" followed by
// digits only, within 32 bits (the executors read such fields as 32-bit integers).
bool IsWholeNumberField(std::string_view text);

// An amount (price, quantity, payment, discount value, cash): at most 255 characters, an
// optional "+" followed by digits only, within 64 bits. The command says which way the
// money goes (a return mark, a discount, cash out), never a minus sign.
bool IsAmountField(std::string_view text);

// An amount of cash into or out of the drawer: an amount field that is not zero and that
// the ECR's 7 whole digits can carry (at most 999999999 hundredths).
bool IsCashAmountField(std::string_view text);

// The integer value of a field as the checkers compare it (ParseInt32, ParseInt64):
// `fallback` (0 unless a command says -1) when the text is not a valid integer.
std::int32_t IntValue(std::string_view text, std::int32_t fallback = 0);
std::int64_t Int64Value(std::string_view text, std::int64_t fallback = 0);

}  // namespace ruvo
