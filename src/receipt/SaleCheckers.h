#pragma once

#include "receipt/LineCheck.h"

namespace ruvo {

// Line checkers of the commands that build a fiscal receipt.
CheckResult CheckSaleLine(const LineContext& context);        // "1"
CheckResult CheckFixedNameLine(const LineContext& context);   // "100", "101"
CheckResult CheckPayment(const LineContext& context);         // "5"
CheckResult CheckDiscount(const LineContext& context);        // "7"
CheckResult CheckBarcode(const LineContext& context);         // "16"
CheckResult CheckOperatorChange(const LineContext& context);  // "31"
CheckResult CheckSubtotal(const LineContext& context);        // "8"
CheckResult CheckTwoPartText(const LineContext& context);     // "10"

// True when the fields are those of a return sale line: "1" with field 8 "-".
bool IsReturnSaleLine(const Fields& fields);

}  // namespace ruvo
