#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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
  static constexpr std::size_t kRxBufferSize = 4'000'000;
  static constexpr std::size_t kPollBufferSize = 1000;
  static constexpr std::size_t kSendBufferSize = 1000;
  // What one read from the port may hand over at a time.
  static constexpr std::size_t kRxPieceSize = 1000;
  static constexpr std::int64_t kDefaultTimeOutMs = 5000;
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
  static constexpr int kErrTextTooLong = 8004;
  static constexpr int kErrNak = 8047;
  static constexpr int kErrTimeOut = 8048;
  static constexpr int kErrExtended = 99;

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
  // Setting LengthPrefixed also resets AnswerLength, as the command that uses it must.
  bool LengthPrefixed() const { return lengthPrefixed_; }
  void SetLengthPrefixed(bool value);
  std::int32_t AnswerLength() const { return answerLength_; }

  std::int64_t TimeOutMs() const { return timeOutMs_; }
  bool TimedOut() const { return timedOut_; }
  bool AnswerComplete() const { return answerComplete_; }
  // The bytes of the last answer, as received.
  const std::uint8_t* RxBuffer() const { return rxBuffer_.get(); }
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
  // One slice of waiting: read what arrives, check the timer, let the UI breathe.
  void WaitSlice();
  void ComRxChar(const std::uint8_t* data, std::size_t count);
  void LogBytes(std::string_view label, const std::uint8_t* data, std::size_t count);
  bool WriteFrame(const std::string& frame);
  bool StatusPoll();
  std::string TimeStamp() const;

  std::unique_ptr<ISerialPort> port_;
  IClock& clock_;
  IEventPump& pump_;

  std::int64_t timeOutMs_ = kDefaultTimeOutMs;
  std::int64_t deadlineMs_ = 0;
  bool timerRunning_ = false;
  bool timedOut_ = false;

  std::unique_ptr<std::uint8_t[]> rxBuffer_;
  std::int32_t rxCount_ = 0;
  bool answerComplete_ = false;

  std::uint8_t pollBuffer_[kPollBufferSize] = {};
  std::uint32_t pollCount_ = 0;
  bool pollActive_ = false;
  bool pollComplete_ = false;

  bool statusPollEnabled_ = false;
  bool lengthPrefixed_ = false;
  std::int32_t answerLength_ = 0;

  bool connected_ = false;
  std::string lastAnswer_;
  std::string lastError_;
  bool errorExtended_ = false;
  bool errorZReportDue_ = false;
  bool errorPaperOut_ = false;
  bool closeAckTimedOut_ = false;
  bool extendedQueryRunning_ = false;
  std::int32_t longTimeOut_ = 0;
  std::vector<std::string> exchangeLog_;
  std::string statusText_ = std::string(kStatusTextLength, '\0');
  std::int32_t jeFreeLines_ = -1;
};

}  // namespace ruvo
