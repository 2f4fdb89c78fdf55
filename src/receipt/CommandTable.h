#pragma once

#include <span>
#include <string>
#include <string_view>

#include "receipt/LineCheck.h"
#include "receipt/PresenceFlags.h"

namespace ruvo {

// Which executor a command belongs to. A file may hold commands of one group only;
// barcodes may stand in either kind of file.
enum class CommandGroup { Fiscal, NonFiscal, Either };

// What a line does on the ECR. The executors (src/execution) map each value to its ECR
// operations in a switch without a default, so a value no executor handles does not
// compile; a value an executor does not serve is refused there as an unknown command.
enum class LineRun {
  // Fiscal receipts and the fiscal reports and queries.
  FinishReceipt,        // "0"
  Sale,                 // "1"
  AdvanceRefund,        // "100"
  ReturnablePackaging,  // "101"
  FontText,             // "2"
  PaymentMark,          // "3": nothing of its own to send
  Payment,              // "5"
  Discount,             // "7"
  Subtotal,             // "8"
  TwoPartText,          // "10"
  HeaderText,           // "11"
  FooterText,           // "111"
  TextAfterClose,       // "12"
  ReceiptStateQuery,    // "9999"
  CancelReceipt,        // "14"
  ZReport,              // "15"
  XReport,              // "30"
  OperatorChange,       // "31"
  DepartmentReport,     // "32"
  Barcode,              // "16", in either kind of file
  DailyTotals,          // "17"
  FiscalSeriesRead,     // "24"
  TotalizerRead,        // "27"
  TotalizersRead,       // "28"
  MfReportByNumber,     // "18"
  MfReportByDate,       // "19"
  // Non-fiscal receipts, cash, the typed and journal reports, the ECR's own settings.
  NonFiscalMark,       // "20": nothing of its own to send
  NonFiscalText,       // "21"
  CashInOut,           // "25"
  TypedReportA,        // "102"
  TypedReportB,        // "103"
  JeReportByDate,      // "81"
  JeReportByReceipts,  // "82"
  JeReportByZ,         // "76"
  JeReportFromLine,    // "78"
  JeReceiptsOfZ,       // "79"
  StopReport,          // "105"
  Beep,                // "116"
  SetDateTime,         // "42"
  XmlExport,           // "416"
};

// A command that must stand alone in its file: the code and the text its checker refuses
// it with when other lines come before it. Empty for a command that may be accompanied.
struct AloneRule {
  std::string_view code;
  std::string_view text;
};

// One receipt command: everything the validation, the presence flags and the executors
// know of its code.
struct CommandInfo {
  std::string_view code;
  CommandGroup group;
  LineChecker checker;        // nullptr for the commands that are never refused
  bool PresenceFlags::*flag;  // the flag a valid line sets; nullptr for none
  LineRun run;
  AloneRule alone;
};

// The command with exactly this code (byte for byte: "01" or " 1" are no codes), or
// nullptr when there is none.
const CommandInfo* FindCommand(std::string_view code);

// Every command, in the order the dispatcher tests them.
std::span<const CommandInfo> AllCommands();

// The answer to a line whose code is no command (of the table, or of the executor it
// reached): "8006;Comanda necunoscuta : " and the line.
std::string UnknownCommandText(const std::string& line);

}  // namespace ruvo
