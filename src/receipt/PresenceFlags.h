#pragma once

#include <string_view>

namespace ruvo {

// What a receipt file holds, as far as the file-level rules and the two executors need
// to know. Every flag starts false for each file; a valid line sets its group's flag and
// the flag its command table row names (the codes below are for the reader).
struct PresenceFlags {
  // The two command groups; a file may not hold both.
  bool fiscalGroup = false;
  bool nonFiscalGroup = false;

  // Fiscal commands.
  bool sale = false;               // "1"
  bool payment = false;            // "5" or "3"
  bool finishReceipt = false;      // "0"
  bool loneText = false;           // "10", kept only when it is the file's only counted line
  bool cancelReceipt = false;      // "14"
  bool dailyReport = false;        // "15"
  bool dailyTotals = false;        // "17"
  bool xReport = false;            // "30"
  bool departmentReport = false;   // "32"
  bool receiptStateQuery = false;  // "9999"
  bool fiscalSeriesRead = false;   // "24"
  bool totalizerRead = false;      // "27"
  bool totalizersRead = false;     // "28"
  bool mfReport = false;           // "18" or "19"

  // Non-fiscal and report commands.
  bool typedReportA = false;        // "102"
  bool typedReportB = false;        // "103"
  bool jeReportByDate = false;      // "81"
  bool jeReportByReceipts = false;  // "82"
  bool jeReportByZ = false;         // "76"
  bool jeReportFromLine = false;    // "78"
  bool jeReceiptsOfZ = false;       // "79"
  bool stopReport = false;          // "105"
  bool beep = false;                // "116"
  bool cashInOut = false;           // "25"
  bool setDateTime = false;         // "42"
  bool xmlExport = false;           // "416"
};

// Sets the flags that a valid line with command code `code` stands for. Codes outside
// the command table (port-selection lines) set nothing.
void MarkPresence(PresenceFlags& flags, std::string_view code);

// True for a file that opens a fiscal receipt of its own and closes it: no stand-alone
// command (reports, queries, finish, cancel) and not a lone text line.
bool SaleClosesReceipt(const PresenceFlags& flags);

}  // namespace ruvo
