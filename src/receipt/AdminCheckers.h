#pragma once

#include "receipt/LineCheck.h"

namespace ruvo {

// Line checkers of the administrative and non-fiscal commands. Some of their messages
// have never carried a code; the sales applications know them by their text.
CheckResult CheckNonFiscalMark(const LineContext& context);  // "20"
CheckResult CheckCashInOut(const LineContext& context);      // "25"
CheckResult CheckSetDateTime(const LineContext& context);    // "42"
CheckResult CheckXmlExport(const LineContext& context);      // "416"

}  // namespace ruvo
