#pragma once

#include "receipt/LineCheck.h"

namespace ruvo {

// Line checkers of the report and query commands. Most of them must stand on the first
// counted line of the file (the first-line rule), each with its own message.
CheckResult CheckFinishReceipt(const LineContext& context);       // "0"
CheckResult CheckDailyCommand(const LineContext& context);        // "14", "15", "17", "30"
CheckResult CheckDepartmentReport(const LineContext& context);    // "32"
CheckResult CheckFiscalSeriesRead(const LineContext& context);    // "24"
CheckResult CheckTotalizerRead(const LineContext& context);       // "27"
CheckResult CheckTotalizersRead(const LineContext& context);      // "28"
CheckResult CheckMfReportByNumber(const LineContext& context);    // "18"
CheckResult CheckMfReportByDate(const LineContext& context);      // "19"
CheckResult CheckJeReportByZ(const LineContext& context);         // "76"
CheckResult CheckJeReportFromLine(const LineContext& context);    // "78"
CheckResult CheckJeReceiptsOfZ(const LineContext& context);       // "79"
CheckResult CheckJeReportByDate(const LineContext& context);      // "81"
CheckResult CheckJeReportByReceipts(const LineContext& context);  // "82"
CheckResult CheckBeep(const LineContext& context);                // "116"
CheckResult CheckTypedReport(const LineContext& context);         // "102", "103"

// The refusal of a command that must stand alone when it is not alone in its file: its
// own message followed by its line. Valid for the commands that may have company.
CheckResult RefusedAsAccompanied(const LineContext& context);

}  // namespace ruvo
