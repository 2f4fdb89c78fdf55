#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/SerialPort.h"

namespace ruvo {

// The link to one XRuvo cash register: frames a command text, sends it, waits for the
// answer, parses it and keeps an exchange log. One object lives for one operation: create,
// OpenPort, run commands, read LastError on failure, save ExchangeLog, ClosePort, destroy.
//
// ECR commands are thin methods of this class (in TXruvoLinux_*.cpp files). Each one does:
//   if (!IsReady()) return false;              // where the command checks readiness
//   ...validate arguments, SetError(80xx) and return false on a bad one...
//   if (!RunCommand(text, timeOutSeconds)) return false;   // log, send, log, SetError
//   ...take what it needs from LastAnswer()...
// Commands that must look at the raw result before SetError use Transact instead.
class TXruvoLinux {
 public:
  // The most one answer may hold; the buffer grows to what arrives, up to this.
  static constexpr std::size_t kRxBufferSize = 4'000'000;
  static constexpr std::size_t kPollBufferSize = 1000;
  static constexpr std::size_t kSendBufferSize = 1000;
  // What one read from the port may hand over at a time.
  static constexpr std::size_t kRxPieceSize = 1000;
  static constexpr std::int64_t kDefaultTimeOutMs = 5000;
  // The SetTimeOut argument of most commands: no time-out of its own, so 5 seconds.
  static constexpr int kDefaultTimeOut = -1;
  static constexpr std::size_t kStatusTextLength = 20;

  static constexpr std::uint8_t kStx = 0x02;
  static constexpr std::uint8_t kEtx = 0x03;
  static constexpr std::uint8_t kAck = 0x06;
  static constexpr std::uint8_t kAltAck = 0x0F;
  static constexpr std::uint8_t kNak = 0x15;

  // Result codes of the link itself.
  static constexpr int kOk = 0;
  static constexpr int kErrNotConnected = 8001;
  static constexpr int kErrAnswerLength = 8002;
  static constexpr int kErrBadFont = 8003;
  static constexpr int kErrTextTooLong = 8004;
  static constexpr int kErrNotAllDigits = 8031;
  static constexpr int kErrBarcodeType = 8032;
  static constexpr int kErrBarcodeDigits = 8033;
  static constexpr int kErrReportKind = 8034;
  static constexpr int kErrStartDate = 8035;
  static constexpr int kErrEndDate = 8036;
  // The ECR's answer to an export request while an earlier export is still open.
  static constexpr int kErrExportOpen = 87;
  static constexpr int kErrNak = 8047;
  static constexpr int kErrTimeOut = 8048;
  static constexpr int kErrExtended = 99;
  // The ECR's answer to a command that "5005" stopped.
  static constexpr int kErrInterrupted = 26;

  // Labels of the log lines.
  static constexpr std::string_view kSentLabel = "-Calculator : ";
  static constexpr std::string_view kReceivedLabel = "-Ecr        : ";
  static constexpr std::string_view kResultLabel = "-Ecr result : ";
  static constexpr std::string_view kPrinterResultLabel = "-Imprimanta : ";

  // A null port gives a link that never connects.
  TXruvoLinux(std::unique_ptr<ISerialPort> port, IClock& clock, IEventPump& pump);
  virtual ~TXruvoLinux();
  TXruvoLinux(const TXruvoLinux&) = delete;
  TXruvoLinux& operator=(const TXruvoLinux&) = delete;

  // --- Port ---------------------------------------------------------------------------
  // Opens "COM<portNumber>". The line speed is fixed by the port layer; baudIndex is
  // accepted for callers that still pass their hidden choice and is not applied.
  bool OpenPort(int portNumber, int baudIndex = 0);
  void ClosePort();
  // Why the last OpenPort failed, when the port can tell.
  std::optional<PortOpenFailure> PortFailure() const {
    return port_ ? port_->OpenFailure() : std::nullopt;
  }
  // True when connected; otherwise error 8001.
  bool IsReady();

  // --- Exchange -----------------------------------------------------------------------
  // Idle time-out of the next commands: seconds > 0, otherwise 5 seconds.
  void SetTimeOut(int seconds);
  // Frames, sends and waits for the answer; 0 on success, else the result code (an ECR
  // error code 0..99, 8004 for a text that does not fit a frame, 8047 NAK, 8048 time-out).
  int SendCommand(const std::string& commandText);
  // Data part of what is in the receive buffer (or "ERR" plus the error code).
  std::string GetAnswerData() const;

  // The common steps of a command: log the text, set the time-out, send, log the result.
  // Returns the result code; does not call SetError.
  int Transact(const std::string& commandText, int timeOutSeconds,
               std::string_view resultLabel = kResultLabel);
  // Transact, then SetError on failure. True on success.
  bool RunCommand(const std::string& commandText, int timeOutSeconds,
                  std::string_view resultLabel = kResultLabel);

  // Appends "hh:mm:ss:zzz" + text to the exchange log.
  void LogLine(std::string_view text);
  void LogCommand(const std::string& commandText) { LogLine(std::string(kSentLabel) + commandText); }
  void LogResult(int result, std::string_view label = kResultLabel);

  // --- Stopping a report from outside its wait -------------------------------------------
  // Asks the report this link prints to stop: "5005" goes out at the next slice of the
  // command being waited for (or of the next command's wait), without waiting its turn,
  // and its answer is read after that command's own, which the ECR then ends with error
  // 26. Called from the event pump during the wait (a click, a control request). False
  // when the port is not open.
  bool RequestStop();
  // A stop was asked for: a report not sent yet must not be sent.
  bool StopRequested() const { return stopAsked_; }
  // A pause that keeps the event loop served (the window, the control socket).
  void Pause(std::int64_t ms);

  // --- Errors ---------------------------------------------------------------------------
  // Rebuilds LastError ("code;message") and the three flags. Code 99 asks the ECR for its
  // extended error; code 8048 after a close time-out that had been acknowledged adds a hint.
  void SetError(std::int32_t code);

  // --- Operations of the link itself -----------------------------------------------------
  // Connection probe: "1215" once with a 2-second time-out; true when the ECR answers a
  // 20-character status (kept in StatusText).
  bool ProbeStatus();
  // Free lines of the electronic journal into JEFreeLines (-1 when unknown).
  bool ReadJEFreeLines();
  // "1015": the ECR's extended error, answered "ERR" plus a number.
  bool ReadExtendedError();

  // --- ECR commands -----------------------------------------------------------------------
  // Each returns true on success; on failure LastError holds the reason. Argument errors
  // (8003, 8004, 8032 to 8036) are refused before anything is written to the port or the
  // log; 8004 also refuses a text whose length does not fit its length field. Amounts are
  // in currency units (12.5 is 12.50); quantities in units.

  // Queries (TXruvoLinux_Queries.cpp).
  bool SwitchOver(std::string& answer);                          // "1001"
  bool ReadDailyTotals();                                        // "1004" -> DailyTotalsBlock
  bool ReadFiscalSeries(std::string& series, int& resultCode);   // "1008"
  bool ReadReceiptState();                                       // "1012" -> ReceiptStateText
  bool ReadDocumentState(std::string& answer);                   // "1111"
  bool ReadLastReceiptNumber(std::string& answer);               // "1112"
  bool ReadTotalizer(int number, std::string& answer);           // "1113"
  bool ReadStatus();                                             // "1215" -> StatusText
  bool ReadPrinterState(std::string& answer);                    // "1309" -> PrinterStateText
  bool SetDateTime(int day, int month, int year, int hour, int minute);  // "2001"
  bool ReadTotalizers();                                         // "7008"
  bool Beep(int beeps, int tone);                                // "3116"
  // "7007": the part after the first ";" on the display, 40 characters.
  bool SendTwoPartText(const std::string& text);

  // Reports (TXruvoLinux_Reports.cpp).
  bool PrintZReport();                                           // "2002"
  bool PrintXReport();                                           // "2003"
  bool PrintDepartmentReport();                                  // "2103"
  bool PrintTypedReportA(int reportType);                        // "2202", with status poll
  bool PrintTypedReportB(int reportType);                        // "2203", with status poll
  bool PrintMFReportByNumber(int first, int last);               // "5001"
  // kind 1 "5002", kind 2 "5003" (with both dates), kind 3 "5004" (no dates).
  bool PrintMFReportByDate(int kind, int startDay, int startMonth, int startYear, int endDay,
                           int endMonth, int endYear);
  // "5005". The report dialog's Stop button sends it without the ready check and waits
  // 30 seconds; the receipt command "105" checks readiness and waits 5.
  bool StopReport(bool fromReportDialog = false);
  bool PrintJEReportByDate(int startDay, int startMonth, int startYear, int endDay, int endMonth,
                           int endYear);                         // "8001"
  bool PrintJEReportByReceipts(int day, int month, int year, int first, int last);  // "8002"
  bool PrintJEReportByZ(int first, int last);                    // "8003"
  bool PrintJEReportFromLine(std::int64_t line);                 // "8004"
  bool PrintJEReceiptsOfZ(int z, int first, int last);           // "8006" -> ReportAnswer

  // The fiscal receipt (TXruvoLinux_Receipt.cpp).
  // "33021", or "33024" for a return (variant) line; a non-zero follow-up amount is then
  // sent with Command3301C and decides the result.
  bool SellItem(const std::string& name, int department, double price, int vatCode,
                const std::string& unit, double quantity, int quantityDenominator, bool variant,
                double followUpAmount = 0);
  bool Command3301C(const std::string& name, double amount);
  // "3301O"; the driver passes only the operator code, everything else zero.
  bool SetOperator(double quantity, int operatorCode, double amount, int number,
                   double followUpAmount = 0);
  // "3007": payment types 1 and 3 are exchanged on the wire.
  bool Payment(int paymentType, const std::string& text, double amount);
  // "3011", after paying in cash what the last payment left due.
  bool CloseReceipt();
  bool Command3003();                                            // "3003"
  bool AdjustValueKind0(const std::string& text, double value);  // "33022", text not sent
  bool AdjustValueKind1(const std::string& text, double value);  // "33023"
  bool AdjustPercentKind0(const std::string& text, double percentage);  // "3302B"
  bool AdjustPercentKind1(const std::string& text, double percentage);  // "3302C"
  bool CancelReceipt();                                          // "33028"
  bool PartialCut(int advanceLines);                             // "3014", 0..9
  bool FullCut();                                                // "3015"

  // Text lines, barcodes, the non-fiscal receipt, cash (TXruvoLinux_Text.cpp).
  bool PrintText3002(const std::string& font, const std::string& text, int alignment);
  bool PrintText3008(const std::string& font, const std::string& text);
  bool PrintText3010(const std::string& font, const std::string& text);
  bool PrintText3012(const std::string& font, const std::string& text, int alignment);
  bool PrintNonFiscalText(const std::string& font, const std::string& text);  // "4003"
  bool OpenNonFiscalReceipt();                                   // "40011"
  bool CloseNonFiscalReceipt();                                  // "1111" (ignored), "4004"
  bool PrintBarcode(int barcodeType, int digitsFlag, int height, const std::string& data);
  // "7106": operation "D" cash in, "P" cash out (with the amount), "R" (without).
  bool CashInOut(const std::string& operation, double amount);

  // The text-line rules: 0 when font and text may be sent, else 8003 or 8004.
  static int CheckTextLine(const std::string& font, const std::string& text);
  // Centres (mode 1) or right-aligns (mode 2) text on the line width of fonts "1" to "6".
  static std::string AlignText(const std::string& font, const std::string& text, int mode);
  // A calendar date with the year value exactly as given (24 is the year 24).
  static bool IsCalendarDate(int day, int month, int year);

  // The monthly XML export (TXruvoLinux_Export.cpp).
  // "6416"; the two report numbers are sent only when one of them is not empty. After
  // error 87 (an export still open) it closes the transfer and asks once more.
  bool StartXmlExport(const std::string& year, int month, const std::string& exportType,
                      const std::string& firstReport = std::string(),
                      const std::string& lastReport = std::string());
  bool BeginExportTransfer(bool typeX);                          // "7400"
  bool ReadExportChunk();                                        // "7403060"
  bool ReadExportData();                                         // "7404", length-prefixed
  bool EndExportTransfer();                                      // "7408"

  // The graphic logo (TXruvoLinux_Logo.cpp).
  bool BeginLogoUpload(int size);                                // "9100"
  bool SendLogoPiece(int length, const std::string& hexText);    // "9101"
  bool EndLogoUpload();                                          // "9102"

  // Given by the receipt executor: the cut at the end of a receipt (0 full cut, 1 partial
  // cut) and the lines to advance with a partial cut.
  int ModTaiere = 0;
  int LiniiAvans = 0;

  // --- Values kept by the commands --------------------------------------------------------
  const std::string& LastPaymentAnswer() const { return lastPaymentAnswer_; }
  const std::string& ReceiptStateText() const { return receiptStateText_; }
  // 8 characters of the last "1309", zero bytes when none was read.
  const std::string& PrinterStateText() const { return printerStateText_; }
  // 253 bytes of the last "1004", zero bytes when none was read.
  const std::string& DailyTotalsBlock() const { return dailyTotalsBlock_; }
  // "1111": characters 1 and 2 of its answer were "1"; characters 3 to 6.
  bool DocumentFlagA() const { return documentFlagA_; }
  bool DocumentFlagB() const { return documentFlagB_; }
  const std::string& DocumentNumberText() const { return documentNumberText_; }
  // "1112": the document type character (" " when unknown), a fiscal receipt open and
  // accepting lines (types 1 to 4), one fully paid and not yet finished (5, 6), its number.
  char DocumentType() const { return documentType_; }
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
  // "1309" position 2: the printer still reports an error.
  bool PrinterStateError() const { return printerStateText_[1] == '1'; }

  static constexpr std::size_t kPrinterStateLength = 8;
  static constexpr std::size_t kDailyTotalsLength = 253;

  // --- State ------------------------------------------------------------------------------
  bool Connected() const { return connected_; }
  const std::string& LastAnswer() const { return lastAnswer_; }
  const std::string& LastError() const { return lastError_; }
  bool ErrorExtended() const { return errorExtended_; }
  bool ErrorZReportDue() const { return errorZReportDue_; }
  bool ErrorPaperOut() const { return errorPaperOut_; }
  const std::vector<std::string>& ExchangeLog() const { return exchangeLog_; }
  // 20 status characters of the last status query, zero bytes when none was read.
  const std::string& StatusText() const { return statusText_; }
  std::int32_t JEFreeLines() const { return jeFreeLines_; }

  bool CloseAckTimedOut() const { return closeAckTimedOut_; }
  void SetCloseAckTimedOut(bool value) { closeAckTimedOut_ = value; }
  std::int32_t LongTimeOut() const { return longTimeOut_; }
  void SetLongTimeOut(std::int32_t seconds) { longTimeOut_ = seconds; }
  bool StatusPollEnabled() const { return statusPollEnabled_; }
  void SetStatusPollEnabled(bool value) { statusPollEnabled_ = value; }
  // Turning LengthPrefixed on resets AnswerLength; turning it off keeps it, so that the
  // data of the answer can still be read once the command has ended.
  bool LengthPrefixed() const { return lengthPrefixed_; }
  void SetLengthPrefixed(bool value);
  std::int32_t AnswerLength() const { return answerLength_; }

  std::int64_t TimeOutMs() const { return timeOutMs_; }
  bool TimedOut() const { return timedOut_; }
  bool AnswerComplete() const { return answerComplete_; }
  // The bytes of the last answer, as received.
  const std::uint8_t* RxBuffer() const { return rxBuffer_.data(); }
  std::int32_t RxCount() const { return rxCount_; }
  // First byte of the last answer (0 when nothing arrived).
  std::uint8_t FirstRxByte() const { return rxCount_ > 0 ? rxBuffer_[0] : 0; }
  // The data of a length-prefixed answer: AnswerLength bytes from offset 5, cut to what
  // actually arrived.
  std::string_view LengthPrefixedData() const;

  // The request frame of a command text; empty when it does not fit the send buffer.
  static std::string BuildFrame(std::string_view commandText);
  // Two decimal digits: the byte sum of "000" + commandText, modulo 100.
  static std::string CalcChecksum(std::string_view commandText);

 private:
  // The idle timer: a deadline on the clock, restarted by every received piece.
  void RestartTimer();
  void StopTimer();
  void CheckTimer();
  // Zero-fills the used part of the receive buffer; everything past RxCount stays zero.
  void ClearReceive();
  // Room for count more received bytes, within kRxBufferSize: how many of them fit.
  std::size_t MakeRxRoom(std::size_t count);
  // The stop's frame, at a slice of SendCommand's wait; then its answer, once the answer
  // of the command waited for has come.
  void SendStopFrame();
  void ReadStopAnswer();
  // Keeps what followed the first answer in a piece, when a stop's answer is still to come.
  void KeepStopCarry(std::size_t end);
  // ComRxChar without the log line (bytes already logged when they arrived).
  void StoreRx(const std::uint8_t* data, std::size_t count);
  // One slice of waiting: read what arrives, check the timer, let the UI breathe.
  void WaitSlice();
  // One read from the port; 0 when nothing came within timeoutMs (or the port failed).
  std::size_t ReadPort(std::uint8_t* piece, std::int64_t timeoutMs);
  // The fewest bytes the answer being waited for still needs before it can be complete.
  std::size_t BytesStillAwaited() const;
  // How long the line may be left alone now without delaying the answer: until it can
  // have carried the request and all but the last byte the answer needs, within maxUs.
  std::int64_t LineHoldUs(std::int64_t maxUs) const;
  // While alive, the answers of the command are expected to carry `length` data
  // characters. Only a hint for how long the line may be left alone: the bytes alone
  // decide when an answer is complete, and a shorter answer merely waits a little.
  // nobodyWaits: the answer belongs to idle work (the connection check), so once it has
  // begun the link leaves the line alone until all of it can be there, a little late
  // rather than early, and takes it in one wake-up.
  class ExpectedAnswerData {
   public:
    ExpectedAnswerData(TXruvoLinux& link, std::size_t length, bool nobodyWaits = false)
        : link_(link) {
      link_.expectedAnswerData_ = length;
      link_.nobodyWaits_ = nobodyWaits;
    }
    ~ExpectedAnswerData() {
      link_.expectedAnswerData_ = 0;
      link_.nobodyWaits_ = false;
    }
    ExpectedAnswerData(const ExpectedAnswerData&) = delete;
    ExpectedAnswerData& operator=(const ExpectedAnswerData&) = delete;

   private:
    TXruvoLinux& link_;
  };
  void ComRxChar(const std::uint8_t* data, std::size_t count);
  void LogBytes(std::string_view label, const std::uint8_t* data, std::size_t count);
  bool WriteFrame(const std::string& frame);
  bool StatusPoll();
  std::string TimeStamp() const;
  // Zeroes StatusText and fills it from a 20-character status answer; 8002 otherwise.
  bool KeepStatusText();
  bool StatusIs(std::size_t position, char value) const { return statusText_[position - 1] == value; }
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

  std::unique_ptr<ISerialPort> port_;
  IClock& clock_;
  IEventPump& pump_;

  std::int64_t timeOutMs_ = kDefaultTimeOutMs;
  std::int64_t deadlineMs_ = 0;
  bool timerRunning_ = false;
  bool timedOut_ = false;

  // Grows to what arrives, up to kRxBufferSize; the bytes past rxCount_ are zero.
  std::vector<std::uint8_t> rxBuffer_;
  std::int32_t rxCount_ = 0;
  bool answerComplete_ = false;

  std::uint8_t pollBuffer_[kPollBufferSize] = {};
  std::uint32_t pollCount_ = 0;
  bool pollActive_ = false;
  bool pollComplete_ = false;

  bool statusPollEnabled_ = false;
  bool lengthPrefixed_ = false;
  std::int32_t answerLength_ = 0;
  std::size_t expectedAnswerData_ = 0;
  bool nobodyWaits_ = false;
  // When the last request written has crossed the line, at the earliest (clock microseconds).
  std::int64_t requestEndUs_ = 0;

  bool connected_ = false;
  std::string lastAnswer_;
  std::string lastError_;
  bool errorExtended_ = false;
  bool errorZReportDue_ = false;
  bool errorPaperOut_ = false;
  bool closeAckTimedOut_ = false;
  bool stopAsked_ = false;    // RequestStop was called
  bool stopPending_ = false;  // its frame has not gone out yet
  bool stopSent_ = false;     // its frame went out; its answer is still to be read
  std::string stopCarry_;     // bytes that came after the waited answer, in the same piece
  bool extendedQueryRunning_ = false;
  std::int32_t longTimeOut_ = 0;
  std::vector<std::string> exchangeLog_;
  std::string statusText_ = std::string(kStatusTextLength, '\0');
  std::int32_t jeFreeLines_ = -1;

  std::string lastPaymentAnswer_;
  std::string receiptStateText_;
  std::string printerStateText_ = std::string(kPrinterStateLength, '\0');
  std::string dailyTotalsBlock_ = std::string(kDailyTotalsLength, '\0');
  bool documentFlagA_ = false;
  bool documentFlagB_ = false;
  std::string documentNumberText_;
  char documentType_ = ' ';
  bool receiptOpen_ = false;
  bool receiptPaid_ = false;
  std::string receiptNumberText_;
  int totalizerNumber_ = 0;
  std::string totalizerText_ = "000000000";
  std::string reportAnswer_;
};

}  // namespace ruvo
