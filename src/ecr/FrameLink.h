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

// The frame and transaction engine under the ECR's command set: frames a command text,
// writes it, waits for the answer (idle time-out, NAK repeats, the status poll of a long
// print, the line hold), keeps the exchange log and the error of the last transaction.
// It knows no command but its own: "1010" (the poll), "1015" (the extended error) and
// "5005" (a stop asked for from outside the wait).
class FrameLink {
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

  static constexpr std::uint8_t kStx = 0x02;
  static constexpr std::uint8_t kEtx = 0x03;
  static constexpr std::uint8_t kAck = 0x06;
  static constexpr std::uint8_t kAltAck = 0x0F;
  static constexpr std::uint8_t kNak = 0x15;

  // Result codes of the transaction itself.
  static constexpr int kOk = 0;
  static constexpr int kErrNotConnected = 8001;
  static constexpr int kErrTextTooLong = 8004;
  static constexpr int kErrNak = 8047;
  static constexpr int kErrTimeOut = 8048;
  static constexpr int kErrExtended = 99;

  // Labels of the log lines.
  static constexpr std::string_view kSentLabel = "-Calculator : ";
  static constexpr std::string_view kReceivedLabel = "-Ecr        : ";
  static constexpr std::string_view kResultLabel = "-Ecr result : ";

  // A null port gives a link that never connects.
  FrameLink(std::unique_ptr<ISerialPort> port, IClock& clock, IEventPump& pump);
  ~FrameLink();
  FrameLink(const FrameLink&) = delete;
  FrameLink& operator=(const FrameLink&) = delete;

  // --- Port ---------------------------------------------------------------------------
  // Opens "COM<portNumber>".
  bool OpenPort(int portNumber);
  void ClosePort();
  // Why the last OpenPort failed, when the port can tell.
  std::optional<PortOpenFailure> PortFailure() const {
    return port_ ? port_->OpenFailure() : std::nullopt;
  }
  // True when connected; otherwise error 8001.
  bool IsReady();
  bool Connected() const { return connected_; }

  // --- Transactions -------------------------------------------------------------------
  // Idle time-out of the next transactions: seconds > 0, otherwise 5 seconds.
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
  void LogCommand(const std::string& commandText) {
    LogLine(std::string(kSentLabel) + commandText);
  }
  void LogResult(int result, std::string_view label = kResultLabel);

  // --- Stopping a report from outside its wait -------------------------------------------
  // "5005" goes out at the next slice of the command being waited for (or of the next
  // command's wait), without waiting its turn, and its answer is read after that command's
  // own. False when the port is not open.
  bool RequestStop();
  bool StopRequested() const { return stopAsked_; }
  // A pause that keeps the event loop served (the window, the control socket).
  void Pause(std::int64_t ms);

  // --- Errors ---------------------------------------------------------------------------
  // Rebuilds LastError ("code;message") and the three flags. Code 99 asks the ECR for its
  // extended error; code 8048 after a close time-out that had been acknowledged adds a hint.
  void SetError(std::int32_t code);
  // "1015": the ECR's extended error, answered "ERR" plus a number.
  bool ReadExtendedError();
  const std::string& LastError() const { return lastError_; }
  bool ErrorExtended() const { return errorExtended_; }
  bool ErrorZReportDue() const { return errorZReportDue_; }
  bool ErrorPaperOut() const { return errorPaperOut_; }
  // The close's acknowledgement came and then its answer did not: the time-out's text
  // then says how to learn what became of the receipt.
  bool CloseAckTimedOut() const { return closeAckTimedOut_; }
  void SetCloseAckTimedOut(bool value) { closeAckTimedOut_ = value; }

  // --- Completion rules of the transactions to come --------------------------------------
  // A lone ACK answered to a long print is followed by "1010" polls while the ECR is busy.
  bool StatusPollEnabled() const { return statusPollEnabled_; }
  void SetStatusPollEnabled(bool value) { statusPollEnabled_ = value; }
  // Turning LengthPrefixed on resets AnswerLength; turning it off keeps it, so that the
  // data of the answer can still be read once the command has ended.
  bool LengthPrefixed() const { return lengthPrefixed_; }
  void SetLengthPrefixed(bool value);
  std::int32_t AnswerLength() const { return answerLength_; }

  // While alive, the answers of the link are expected to carry `length` data characters.
  // Only a hint for how long the line may be left alone: the bytes alone decide when an
  // answer is complete, and a shorter answer merely waits a little.
  // nobodyWaits: the answer belongs to idle work (the connection check), so once it has
  // begun the link leaves the line alone until all of it can be there, a little late
  // rather than early, and takes it in one wake-up.
  class ExpectedAnswerData {
   public:
    ExpectedAnswerData(FrameLink& link, std::size_t length, bool nobodyWaits = false)
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
    FrameLink& link_;
  };

  // --- The last transaction ------------------------------------------------------------
  const std::string& LastAnswer() const { return lastAnswer_; }
  const std::vector<std::string>& ExchangeLog() const { return exchangeLog_; }
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
  // Reads and drops what the line holds before a frame goes out.
  void DropLateBytes();
  // One read from the port; 0 when nothing came within timeoutMs (or the port failed).
  std::size_t ReadPort(std::uint8_t* piece, std::int64_t timeoutMs);
  // The fewest bytes the answer being waited for still needs before it can be complete.
  std::size_t BytesStillAwaited() const;
  // How long the line may be left alone now without delaying the answer: until it can
  // have carried the request and all but the last byte the answer needs, within maxUs.
  std::int64_t LineHoldUs(std::int64_t maxUs) const;
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
  bool extendedQueryRunning_ = false;
  bool stopAsked_ = false;    // RequestStop was called
  bool stopPending_ = false;  // its frame has not gone out yet
  bool stopSent_ = false;     // its frame went out; its answer is still to be read
  std::string stopCarry_;     // bytes that came after the waited answer, in the same piece
  std::vector<std::string> exchangeLog_;
};

}  // namespace ruvo
