#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ecr/FrameLink.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/SerialPort.h"

namespace ruvo {

// How a receipt ends on paper: mode 0 a full cut, 1 a partial cut after advanceLines
// (0..9) lines. Given by the settings to each call that cuts.
struct CutSettings {
  int mode = 0;
  int advanceLines = 0;
};

// The command set of one XRuvo cash register, over its frame engine (FrameLink): builds
// each command's text, runs it as one transaction and parses the answer. One object lives
// for one operation: create, open the engine's port, run commands, read the engine's
// LastError on failure, save its ExchangeLog, close the port, destroy.
//
// ECR commands are thin methods of this class (in TXruvoLinux_*.cpp files). Each one does:
//   if (!IsReady()) return false;              // where the command checks readiness
//   ...validate arguments, SetError(80xx) and return false on a bad one...
//   if (!RunCommand(text, timeOutSeconds)) return false;   // log, send, log, SetError
//   ...take what it needs from LastAnswer()...
// Commands that must look at the raw result before SetError use Transact instead.
// Errors are set here and in the engine; a caller that sees a fault in the status sets
// that fault's code on the engine, as if a command had been refused with it.
class TXruvoLinux {
 public:
  static constexpr std::size_t kStatusTextLength = 20;

  // Result codes of the command set (the transaction's own are the engine's).
  static constexpr int kErrAnswerLength = 8002;
  static constexpr int kErrBadFont = 8003;
  static constexpr int kErrNotAllDigits = 8031;
  static constexpr int kErrBarcodeType = 8032;
  static constexpr int kErrBarcodeDigits = 8033;
  static constexpr int kErrReportKind = 8034;
  static constexpr int kErrStartDate = 8035;
  static constexpr int kErrEndDate = 8036;
  // The ECR's answer to an export request while an earlier export is still open.
  static constexpr int kErrExportOpen = 87;
  // The ECR's answer to a command that "5005" stopped.
  static constexpr int kErrInterrupted = 26;

  static constexpr std::string_view kPrinterResultLabel = "-Imprimanta : ";

  // A null port gives a link that never connects.
  TXruvoLinux(std::unique_ptr<ISerialPort> port, IClock& clock, IEventPump& pump);
  virtual ~TXruvoLinux();
  TXruvoLinux(const TXruvoLinux&) = delete;
  TXruvoLinux& operator=(const TXruvoLinux&) = delete;

  // --- The engine ------------------------------------------------------------------------
  // The frame engine under the command set: the port (open, close, why it failed), the
  // last answer, error and exchange log, a stop asked for from outside a report's wait
  // (RequestStop), the served pause, and what is the engine's own (a bare transaction,
  // its time-out, its buffers).
  FrameLink& Engine() { return frame_; }
  const FrameLink& Engine() const { return frame_; }

  // --- Stopping a report from outside its wait -------------------------------------------
  // A report about to be sent after Engine().RequestStop(): true, and LastError says what
  // the ECR says of a report a stop ended (26). False, nothing changed, without a stop.
  bool StoppedBeforeReport();

  // --- Operations of the link itself -----------------------------------------------------
  // Connection probe: "1215" once with a 2-second time-out; true when the ECR answers a
  // 20-character status (kept in StatusText).
  bool ProbeStatus();
  // Free lines of the electronic journal into JEFreeLines (-1 when unknown).
  bool ReadJEFreeLines();

  // --- ECR commands -----------------------------------------------------------------------
  // Each returns true on success; on failure LastError holds the reason. Argument errors
  // (8003, 8004, 8032 to 8036) are refused before anything is written to the port or the
  // log; 8004 also refuses a text whose length does not fit its length field. Amounts are
  // in currency units (12.5 is 12.50); quantities in units.

  // Queries (TXruvoLinux_Queries.cpp).
  bool ReadDailyTotals();                                       // "1004" -> DailyTotalsBlock
  bool ReadFiscalSeries(std::string& series, int& resultCode);  // "1008"
  bool ReadReceiptState();                                      // "1012" -> ReceiptStateText
  bool ReadDocumentState(std::string& answer);                  // "1111"
  bool ReadLastReceiptNumber(std::string& answer);              // "1112"
  bool ReadTotalizer(int number, std::string& answer);          // "1113"
  bool ReadStatus();                                            // "1215" -> StatusText
  bool ReadPrinterState(std::string& answer);                   // "1309" -> PrinterStateText
  bool SetDateTime(int day, int month, int year, int hour, int minute);  // "2001"
  bool ReadTotalizers();                                                 // "7008"
  bool Beep(int beeps, int tone);                                        // "3116"
  // "7007": the part after the first ";" on the display, 40 characters.
  bool SendTwoPartText(const std::string& text);

  // Reports (TXruvoLinux_Reports.cpp).
  bool PrintZReport();                              // "2002"
  bool PrintXReport();                              // "2003"
  bool PrintDepartmentReport();                     // "2103"
  bool PrintTypedReportA(int reportType);           // "2202", with status poll
  bool PrintTypedReportB(int reportType);           // "2203", with status poll
  bool PrintMFReportByNumber(int first, int last);  // "5001"
  // kind 1 "5002", kind 2 "5003" (with both dates), kind 3 "5004" (no dates).
  bool PrintMFReportByDate(int kind, int startDay, int startMonth, int startYear, int endDay,
                           int endMonth, int endYear);
  // "5005". The report dialog's Stop button sends it without the ready check and waits
  // 30 seconds; the receipt command "105" checks readiness and waits 5.
  bool StopReport(bool fromReportDialog = false);
  bool PrintJEReportByDate(int startDay, int startMonth, int startYear, int endDay, int endMonth,
                           int endYear);                                            // "8001"
  bool PrintJEReportByReceipts(int day, int month, int year, int first, int last);  // "8002"
  bool PrintJEReportByZ(int first, int last);                                       // "8003"
  bool PrintJEReportFromLine(std::int64_t line);                                    // "8004"
  bool PrintJEReceiptsOfZ(int z, int first, int last);  // "8006" -> ReportAnswer

  // The fiscal receipt (TXruvoLinux_Receipt.cpp).
  // "33021", or "33024" for a return (variant) line; a non-zero follow-up amount is then
  // sent with "3301C" and decides the result.
  bool SellItem(const std::string& name, int department, double price, int vatCode,
                const std::string& unit, double quantity, int quantityDenominator, bool variant,
                double followUpAmount = 0);
  // "3301O"; the driver passes only the operator code, everything else zero.
  bool SetOperator(double quantity, int operatorCode, double amount, int number,
                   double followUpAmount = 0);
  // "3007": payment types 1 and 3 are exchanged on the wire.
  bool Payment(int paymentType, const std::string& text, double amount);
  // "3011", after paying in cash what the last payment left due.
  bool CloseReceipt();
  bool Command3003();                                                   // "3003"
  bool AdjustValueKind0(const std::string& text, double value);         // "33022", text not sent
  bool AdjustValueKind1(const std::string& text, double value);         // "33023"
  bool AdjustPercentKind0(const std::string& text, double percentage);  // "3302B"
  bool AdjustPercentKind1(const std::string& text, double percentage);  // "3302C"
  bool CancelReceipt();                                                 // "33028"
  bool PartialCut(int advanceLines);                                    // "3014", 0..9

  // Text lines, barcodes, the non-fiscal receipt, cash (TXruvoLinux_Text.cpp).
  bool PrintText3002(const std::string& font, const std::string& text, int alignment);
  bool PrintText3008(const std::string& font, const std::string& text);
  bool PrintText3010(const std::string& font, const std::string& text);
  bool PrintText3012(const std::string& font, const std::string& text, int alignment);
  bool PrintNonFiscalText(const std::string& font, const std::string& text);  // "4003"
  bool OpenNonFiscalReceipt();                                                // "40011"
  bool CloseNonFiscalReceipt();  // "1111" (ignored), "4004"
  bool PrintBarcode(int barcodeType, int digitsFlag, int height, const std::string& data);
  // "7106": operation "D" cash in, "P" cash out (with the amount), "R" (without).
  bool CashInOut(const std::string& operation, double amount);

  // The monthly XML export (TXruvoLinux_Export.cpp).
  // "6416"; the two report numbers are sent only when one of them is not empty. After
  // error 87 (an export still open) it closes the transfer and asks once more.
  bool StartXmlExport(const std::string& year, int month, const std::string& exportType,
                      const std::string& firstReport = std::string(),
                      const std::string& lastReport = std::string());
  bool BeginExportTransfer(bool typeX);  // "7400"
  bool ReadExportChunk();                // "7403060"
  bool ReadExportData();                 // "7404", length-prefixed
  bool EndExportTransfer();              // "7408"

  // The graphic logo (TXruvoLinux_Logo.cpp).
  bool BeginLogoUpload(int size);                              // "9100"
  bool SendLogoPiece(int length, const std::string& hexText);  // "9101"
  bool EndLogoUpload();                                        // "9102"

  // The cut at the end of a receipt, as the settings give it: "3014" with the lines to
  // advance for a partial cut, "3015" for a full one.
  bool CutReceipt(const CutSettings& cut);

  // --- Values kept by the commands --------------------------------------------------------
  const std::string& ReceiptStateText() const { return receiptStateText_; }
  // 253 bytes of the last "1004", zero bytes when none was read.
  const std::string& DailyTotalsBlock() const { return dailyTotalsBlock_; }
  // "1111": characters 3 to 6 of its answer.
  const std::string& DocumentNumberText() const { return documentNumberText_; }
  // "1112": a fiscal receipt open and accepting lines (document types 1 to 4), one fully
  // paid and not yet finished (5, 6), its number.
  bool ReceiptOpen() const { return receiptOpen_; }
  bool ReceiptPaid() const { return receiptPaid_; }
  const std::string& ReceiptNumberText() const { return receiptNumberText_; }
  // "1113": the number asked for and its answer ("000000000" until one arrives).
  int TotalizerNumber() const { return totalizerNumber_; }
  const std::string& TotalizerText() const { return totalizerText_; }
  // "8006" with numbers: its answer.
  const std::string& ReportAnswer() const { return reportAnswer_; }

  // The status characters of the last "1215", one test per position the driver acts on.
  bool StatusPaperOut() const { return StatusIs(2, '1'); }
  bool StatusPaperNearEnd() const { return StatusIs(3, '1'); }
  bool StatusCoverOpen() const { return StatusIs(4, '0'); }
  bool StatusCutterError() const { return StatusIs(5, '1'); }
  bool StatusFiscalMemoryAbsent() const { return StatusIs(7, '0'); }
  bool StatusNotFiscalized() const { return StatusIs(8, '0'); }
  bool StatusFiscalMemoryFull() const { return StatusIs(9, '1'); }
  bool StatusJournalAbsent() const { return StatusIs(10, '0'); }
  bool StatusJournalFull() const { return StatusIs(12, '1'); }
  bool StatusDisplayAbsent() const { return StatusIs(13, '0'); }
  bool StatusJournalAlmostFull() const { return StatusIs(14, '1'); }
  bool StatusFiscalReceiptOpen() const { return StatusIs(15, '1'); }
  bool StatusNonFiscalReceiptOpen() const { return StatusIs(17, '1'); }
  // "1309" position 2 (of 8 characters): the printer still reports an error; false when no
  // state was read.
  bool PrinterStateError() const { return printerStateText_[1] == '1'; }

  static constexpr std::size_t kPrinterStateLength = 8;
  static constexpr std::size_t kDailyTotalsLength = 253;

  // --- State ------------------------------------------------------------------------------
  // 20 status characters of the last status query, zero bytes when none was read.
  const std::string& StatusText() const { return statusText_; }
  std::int32_t JEFreeLines() const { return jeFreeLines_; }

  // The time-out of the commands that print for long (reports, the close), in seconds.
  void SetLongTimeOut(std::int32_t seconds) { longTimeOut_ = seconds; }

 private:
  // The engine's names the commands use.
  static constexpr int kDefaultTimeOut = FrameLink::kDefaultTimeOut;
  static constexpr std::uint8_t kAck = FrameLink::kAck;
  static constexpr int kOk = FrameLink::kOk;
  static constexpr int kErrNotConnected = FrameLink::kErrNotConnected;
  static constexpr int kErrTextTooLong = FrameLink::kErrTextTooLong;
  static constexpr int kErrTimeOut = FrameLink::kErrTimeOut;
  static constexpr std::string_view kResultLabel = FrameLink::kResultLabel;
  using ExpectedAnswerData = FrameLink::ExpectedAnswerData;
  bool IsReady() { return frame_.IsReady(); }
  const std::string& LastAnswer() const { return frame_.LastAnswer(); }
  void SetError(std::int32_t code) { frame_.SetError(code); }
  bool RunCommand(const std::string& commandText, int timeOutSeconds,
                  std::string_view resultLabel = kResultLabel) {
    return frame_.RunCommand(commandText, timeOutSeconds, resultLabel);
  }
  int Transact(const std::string& commandText, int timeOutSeconds,
               std::string_view resultLabel = kResultLabel) {
    return frame_.Transact(commandText, timeOutSeconds, resultLabel);
  }
  std::uint8_t FirstRxByte() const { return frame_.FirstRxByte(); }
  // Zeroes StatusText and fills it from a 20-character status answer; 8002 otherwise.
  bool KeepStatusText();
  bool StatusIs(std::size_t position, char value) const {
    return statusText_[position - 1] == value;
  }
  // A text line command: checks font and text, aligns, sends code + font + L2(text).
  bool SendTextLine(const char* code, const std::string& font, const std::string& text,
                    int timeOutSeconds, int alignment = 0);
  // A command sent until it succeeds, at most maxSends times; SetError on the last failure.
  bool RunRepeated(const std::string& commandText, int maxSends);
  // A date check of the reports: 8035 for the start, 8036 for the end date.
  bool CheckReportDates(int startDay, int startMonth, int startYear, int endDay, int endMonth,
                        int endYear);
  bool SellFollowUp(double followUpAmount);
  // "33023", "3302B", "3302C": code "001" Amt(7,2) "00" L2(label).
  bool SendAdjustment(const char* code, const std::string& text, double value);

  FrameLink frame_;
  std::int32_t longTimeOut_ = 0;
  std::string statusText_ = std::string(kStatusTextLength, '\0');
  std::int32_t jeFreeLines_ = -1;

  // What the last payment left due, for the close.
  std::string lastPaymentAnswer_;
  std::string receiptStateText_;
  std::string printerStateText_ = std::string(kPrinterStateLength, '\0');
  std::string dailyTotalsBlock_ = std::string(kDailyTotalsLength, '\0');
  std::string documentNumberText_;
  bool receiptOpen_ = false;
  bool receiptPaid_ = false;
  std::string receiptNumberText_;
  int totalizerNumber_ = 0;
  std::string totalizerText_ = "000000000";
  std::string reportAnswer_;
};

}  // namespace ruvo
