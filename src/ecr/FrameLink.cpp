#include "ecr/FrameLink.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "ecr/DecimalText.h"

namespace ruvo {

namespace {

constexpr int kMaxAttempts = 3;
// The keep-alive the ECR answers while it is busy printing.
constexpr std::string_view kPollCommand = "1010";
constexpr std::size_t kPollAnswerLength = 11;
// The receive buffer's first size: a usual answer fits, and the answer's fixed offsets
// (up to 9) can always be looked at.
constexpr std::size_t kMinRxBuffer = 256;
// The shortest complete answer, and what an answer frame adds to its data: ACK, four
// bytes, the three that precede the data, and checksum and ETX after it.
constexpr std::size_t kMinAnswerLength = 11;
constexpr std::size_t kAnswerFrameBytes = 12;
// A length-prefixed answer is complete at its announced length plus this.
constexpr std::size_t kLengthPrefixedExtra = 20;
// The longest the line is left alone in one go, in bytes: far below what the port's input
// buffer holds, so that a long answer never has to be throttled while nobody reads.
constexpr std::size_t kMaxHoldBytes = 512;
// What an answer nobody waits for allows its bytes for coming late.
constexpr std::int64_t kLateByteUs = 300;
// A line that never stops talking still lets the next frame go.
constexpr int kMaxLateReads = 64;

// The data part of an answer frame held in buf (count bytes received, bytes past count are
// zero and the buffer holds at least 10 bytes).
std::string AnswerDataOf(const std::uint8_t* buf, std::size_t count) {
  if (buf[5] == 'E' && buf[6] == 'R' && buf[7] == 'R') {
    return std::string{'E', 'R', 'R', static_cast<char>(buf[8]), static_cast<char>(buf[9])};
  }
  if (count <= kAnswerFrameBytes) return std::string();
  return std::string(reinterpret_cast<const char*>(buf) + 9, count - kAnswerFrameBytes);
}

bool IsAnswerStart(std::uint8_t b) { return b == FrameLink::kAck || b == FrameLink::kAltAck; }

// An answer is complete at the first ETX that leaves it at least 11 bytes long. Looking at
// every new byte (not only the last of a piece) keeps a good answer good when a stray byte
// follows it in the same piece. Returns the answer's length, 0 while it is not complete.
std::size_t FindAnswerEnd(const std::uint8_t* buf, std::size_t oldCount, std::size_t newCount) {
  if (newCount == 0 || !IsAnswerStart(buf[0])) return 0;
  for (std::size_t i = std::max(oldCount, kMinAnswerLength - 1); i < newCount; ++i) {
    if (buf[i] == FrameLink::kEtx) return i + 1;
  }
  return 0;
}

}  // namespace

FrameLink::FrameLink(std::unique_ptr<ISerialPort> port, IClock& clock, IEventPump& pump)
    : port_(std::move(port)), clock_(clock), pump_(pump) {}

FrameLink::~FrameLink() {
  try {
    ClosePort();
  } catch (...) {
    // A port that fails while closing must not take the driver with it.
  }
}

bool FrameLink::OpenPort(int portNumber) {
  ClosePort();
  connected_ = false;
  if (!port_ || portNumber < 1) return false;
  try {
    const bool opened = port_->Open("COM" + std::to_string(portNumber));
    connected_ = opened && port_->Connected();
  } catch (...) {
    connected_ = false;
  }
  return connected_;
}

void FrameLink::ClosePort() {
  if (port_ && port_->Connected()) port_->Close();
  // A closed port must refuse commands instead of writing into nothing.
  connected_ = false;
}

bool FrameLink::IsReady() {
  if (connected_) return true;
  SetError(kErrNotConnected);
  return false;
}

void FrameLink::SetTimeOut(int seconds) {
  timeOutMs_ = seconds > 0 ? static_cast<std::int64_t>(seconds) * 1000 : kDefaultTimeOutMs;
  if (timeOutMs_ == 0) timeOutMs_ = kDefaultTimeOutMs;
}

void FrameLink::SetLengthPrefixed(bool value) {
  lengthPrefixed_ = value;
  // The announced length must outlive the command: callers read the data after it ends.
  if (value) answerLength_ = 0;
}

std::string FrameLink::CalcChecksum(std::string_view commandText) {
  unsigned sum = 3 * static_cast<unsigned>('0');
  for (char c : commandText) sum += static_cast<unsigned char>(c);
  const unsigned rest = sum % 100;
  return std::string{static_cast<char>('0' + rest / 10), static_cast<char>('0' + rest % 10)};
}

std::string FrameLink::BuildFrame(std::string_view commandText) {
  if (commandText.size() + 7 > kSendBufferSize) return std::string();
  std::string frame;
  frame.reserve(commandText.size() + 7);
  frame += static_cast<char>(kStx);
  frame += "000";
  frame += commandText;
  frame += CalcChecksum(commandText);
  frame += static_cast<char>(kEtx);
  return frame;
}

std::string FrameLink::GetAnswerData() const {
  if (rxBuffer_.size() < kMinRxBuffer) return std::string();  // nothing ever arrived
  return AnswerDataOf(rxBuffer_.data(), static_cast<std::size_t>(rxCount_));
}

std::string_view FrameLink::LengthPrefixedData() const {
  if (answerLength_ <= 0 || rxCount_ <= 5) return std::string_view();
  const std::int32_t available = std::min(answerLength_, rxCount_ - 5);
  return std::string_view(reinterpret_cast<const char*>(rxBuffer_.data()) + 5,
                          static_cast<std::size_t>(available));
}

// ---------------------------------------------------------------------------------------
// Timer

void FrameLink::RestartTimer() {
  timedOut_ = false;
  timerRunning_ = true;
  deadlineMs_ = clock_.MonotonicMs() + timeOutMs_;
}

void FrameLink::StopTimer() { timerRunning_ = false; }

void FrameLink::CheckTimer() {
  if (timerRunning_ && clock_.MonotonicMs() >= deadlineMs_) {
    timedOut_ = true;
    timerRunning_ = false;
  }
}

void FrameLink::ClearReceive() {
  answerComplete_ = false;
  if (rxCount_ > 0) std::memset(rxBuffer_.data(), 0, static_cast<std::size_t>(rxCount_));
  rxCount_ = 0;
}

std::size_t FrameLink::MakeRxRoom(std::size_t count) {
  const std::size_t used = static_cast<std::size_t>(rxCount_);
  const std::size_t wanted = std::min(used + count, kRxBufferSize);
  if (wanted > rxBuffer_.size()) {
    // Doubling keeps a long answer from being copied at every piece; the bound stays.
    const std::size_t grown =
        std::max({wanted, kMinRxBuffer, std::min(2 * rxBuffer_.size(), kRxBufferSize)});
    try {
      rxBuffer_.resize(grown, 0);
    } catch (const std::bad_alloc&) {
      // What does not fit is lost, as bytes beyond the bound are; the answer then fails.
    }
  }
  return std::min(count, rxBuffer_.size() - used);
}

// ---------------------------------------------------------------------------------------
// Exchange

int FrameLink::SendCommand(const std::string& commandText) {
  lastAnswer_.clear();
  const std::string frame = BuildFrame(commandText);
  if (frame.empty()) return kErrTextTooLong;

  DropLateBytes();
  int attempt = 1;
  for (;;) {
    RestartTimer();
    ClearReceive();
    if (!WriteFrame(frame)) {
      // Nothing can answer a frame that never left; waiting out the time-out would only
      // stall the caller (and spin on a port that is not open).
      timedOut_ = true;
      break;
    }
    while (!answerComplete_ && !timedOut_) {
      WaitSlice();
      if (stopPending_ && !answerComplete_) SendStopFrame();
      if (timedOut_ && !StatusPoll()) RestartTimer();
    }
    if (FirstRxByte() == kNak) {
      ++attempt;
      answerComplete_ = false;
    }
    if (attempt <= kMaxAttempts && !answerComplete_ && !timedOut_) continue;
    break;
  }
  StopTimer();

  int result = kOk;
  if (FirstRxByte() == kNak) {
    result = kErrNak;
  } else if (timedOut_) {
    result = kErrTimeOut;
  }
  const bool endsWithEtx = rxCount_ > 0 && rxBuffer_[rxCount_ - 1] == kEtx;
  if ((FirstRxByte() == kAck || FirstRxByte() == kNak) && endsWithEtx) {
    lastAnswer_ = GetAnswerData();
    if (lastAnswer_.size() == 5 && lastAnswer_.compare(0, 3, "ERR") == 0) {
      result = DecimalIntOr(std::string_view(lastAnswer_).substr(3, 2), kErrNak);
    }
  }
  if (stopSent_) ReadStopAnswer();
  return result;
}

bool FrameLink::WriteFrame(const std::string& frame) {
  if (!connected_ || !port_) return false;
  std::uint8_t sendBuffer[kSendBufferSize] = {};
  const std::size_t count = std::min(frame.size(), kSendBufferSize);
  std::memcpy(sendBuffer, frame.data(), count);
  bool written = false;
  try {
    written = port_->Write(sendBuffer, count);
  } catch (...) {
    written = false;
  }
  if (written) {
    const std::int64_t byteUs = std::max<std::int64_t>(port_->ByteTimeUs(), 0);
    requestEndUs_ = clock_.MonotonicUs() + static_cast<std::int64_t>(count) * byteUs;
    LogBytes(kSentLabel, sendBuffer, count);
  }
  return written;
}

void FrameLink::WaitSlice() {
  // The event pump says how long one slice may block; a chunk that arrives ends it at once.
  const std::int64_t maxSlice = std::max(1, pump_.SliceMs());
  std::int64_t slice = maxSlice;
  if (timerRunning_)
    slice = std::clamp(deadlineMs_ - clock_.MonotonicMs(), std::int64_t{0}, maxSlice);
  std::uint8_t piece[kRxPieceSize];
  std::size_t count = 0;
  // Bytes come no faster than the line carries them, so an answer cannot be complete
  // before the line has carried what it still lacks: reading it byte by byte until then
  // would only wake the driver once a byte. What has already arrived is read at once.
  const std::int64_t holdUs = LineHoldUs(slice * 1000);
  if (holdUs > 0) {
    count = ReadPort(piece, 0);
    if (count == 0) {
      const std::int64_t start = clock_.MonotonicMs();
      clock_.SleepUs(holdUs);
      slice = std::max<std::int64_t>(0, slice - (clock_.MonotonicMs() - start));
    }
  }
  if (count == 0) count = ReadPort(piece, slice);
  if (count > 0) ComRxChar(piece, count);
  CheckTimer();
  pump_.Pump();
}

void FrameLink::DropLateBytes() {
  // The answer to a command that timed out may come after all; read after the next frame
  // it would pass for that frame's answer. What the line holds before a frame goes out
  // answers nothing the link still waits for.
  std::uint8_t piece[kRxPieceSize];
  std::size_t dropped = 0;
  for (int reads = 0; reads < kMaxLateReads; ++reads) {
    const std::size_t count = ReadPort(piece, 0);
    if (count == 0) break;
    dropped += count;
  }
  if (dropped > 0) LogLine("late bytes dropped: " + std::to_string(dropped));
}

std::size_t FrameLink::ReadPort(std::uint8_t* piece, std::int64_t timeoutMs) {
  if (!port_) return 0;
  std::size_t count = 0;
  try {
    count = port_->Read(piece, kRxPieceSize, static_cast<int>(timeoutMs));
  } catch (...) {
    count = 0;
  }
  return std::min(count, kRxPieceSize);
}

std::size_t FrameLink::BytesStillAwaited() const {
  std::size_t needed = 0;
  std::size_t received = 0;
  if (pollActive_) {
    if (pollComplete_) return 0;
    needed = kMinAnswerLength;
    received = pollCount_;
  } else if (lengthPrefixed_) {
    if (answerComplete_) return 0;
    // Until the length has arrived, at least one byte of data is announced.
    const std::size_t announced = answerLength_ > 0 ? static_cast<std::size_t>(answerLength_) : 1;
    needed = std::min(announced + kLengthPrefixedExtra, kRxBufferSize);
    received = static_cast<std::size_t>(rxCount_);
  } else {
    if (answerComplete_) return 0;
    needed = std::max(kMinAnswerLength, expectedAnswerData_ + kAnswerFrameBytes);
    received = static_cast<std::size_t>(rxCount_);
  }
  return needed > received ? needed - received : 0;
}

std::int64_t FrameLink::LineHoldUs(std::int64_t maxUs) const {
  if (!port_) return 0;
  const std::int64_t byteUs = port_->ByteTimeUs();
  const std::size_t received = pollActive_ ? pollCount_ : static_cast<std::size_t>(rxCount_);
  const std::size_t awaited = BytesStillAwaited();
  // Only an answer that has begun is known to come at the line's pace: a device that is no
  // real line (a USB one, a terminal pair) hands its answer over in one piece, which must
  // not wait.
  if (byteUs <= 0 || received == 0 || awaited == 0) return 0;
  const std::int64_t maxHoldUs = std::min(maxUs, static_cast<std::int64_t>(kMaxHoldBytes) * byteUs);
  if (nobodyWaits_) {
    // Taken late, the answer costs nobody anything: let the line carry all of the rest,
    // with room for a late byte, and take it in one wake-up.
    const std::int64_t rest = static_cast<std::int64_t>(awaited) * byteUs + kLateByteUs;
    return std::clamp(rest, std::int64_t{0}, maxHoldUs);
  }
  if (awaited <= 1) return 0;
  // The ECR cannot have sent byte n of its answer before the request and n bytes have
  // crossed the line. Counted from the request, not from the last piece read: a piece may
  // be read late, and the bytes after it come all the sooner.
  const std::size_t lastButOne = received + awaited - 1;
  const std::int64_t hold =
      requestEndUs_ + static_cast<std::int64_t>(lastButOne) * byteUs - clock_.MonotonicUs();
  return std::clamp(hold, std::int64_t{0}, maxHoldUs);
}

void FrameLink::ComRxChar(const std::uint8_t* data, std::size_t count) {
  LogBytes(kReceivedLabel, data, count);
  StoreRx(data, count);
}

void FrameLink::StoreRx(const std::uint8_t* data, std::size_t count) {
  if (pollActive_) {
    const std::size_t room = kPollBufferSize - pollCount_;
    const std::size_t stored = std::min(count, room);
    std::memcpy(pollBuffer_ + pollCount_, data, stored);
    const std::size_t oldCount = pollCount_;
    pollCount_ += static_cast<std::uint32_t>(stored);
    // Bytes that no longer fit are noise; they must not keep the wait alive for ever.
    if (stored > 0) RestartTimer();
    if (!pollComplete_) {
      const std::size_t end = FindAnswerEnd(pollBuffer_, oldCount, pollCount_);
      if (end > 0) {
        // What follows the answer in the same piece is not part of it.
        std::memset(pollBuffer_ + end, 0, pollCount_ - end);
        pollCount_ = static_cast<std::uint32_t>(end);
        pollComplete_ = true;
      }
    }
    return;
  }

  const std::size_t stored = MakeRxRoom(count);
  if (stored > 0) std::memcpy(rxBuffer_.data() + rxCount_, data, stored);
  const std::size_t oldCount = static_cast<std::size_t>(rxCount_);
  rxCount_ += static_cast<std::int32_t>(stored);
  if (stored > 0) RestartTimer();

  const std::uint8_t* rx = rxBuffer_.data();
  if (lengthPrefixed_) {
    if (rxCount_ >= 5) {
      const std::uint32_t announced = (std::uint32_t{rx[1]} << 24) | (std::uint32_t{rx[2]} << 16) |
                                      (std::uint32_t{rx[3]} << 8) | std::uint32_t{rx[4]};
      answerLength_ = static_cast<std::int32_t>(announced);
    }
    if (answerLength_ > 0) {
      answerComplete_ = static_cast<std::int64_t>(rxCount_) >=
                            static_cast<std::int64_t>(answerLength_) +
                                static_cast<std::int64_t>(kLengthPrefixedExtra) &&
                        rx[0] == kAck;
    }
    return;
  }
  if (answerComplete_) return;
  const std::size_t end = FindAnswerEnd(rx, oldCount, static_cast<std::size_t>(rxCount_));
  if (end > 0) {
    if (stopSent_) KeepStopCarry(end);
    std::memset(rxBuffer_.data() + end, 0, static_cast<std::size_t>(rxCount_) - end);
    rxCount_ = static_cast<std::int32_t>(end);
    answerComplete_ = true;
  }
}

bool FrameLink::StatusPoll() {
  bool result = true;
  if (!statusPollEnabled_ || rxCount_ != 1 || FirstRxByte() != kAck) return result;

  pollActive_ = true;
  pollComplete_ = false;
  std::memset(pollBuffer_, 0, sizeof pollBuffer_);
  pollCount_ = 0;
  if (WriteFrame(BuildFrame(kPollCommand))) {
    RestartTimer();
    while (!pollComplete_ && !timedOut_) WaitSlice();
    if (pollComplete_) {
      const std::string data = AnswerDataOf(pollBuffer_, pollCount_);
      const bool stillBusy = data.size() == kPollAnswerLength && data.compare(7, 3, "100") == 0;
      if (!stillBusy) {
        RestartTimer();
        result = false;
      }
    }
  }
  pollActive_ = false;
  return result;
}

int FrameLink::Transact(const std::string& commandText, int timeOutSeconds,
                        std::string_view resultLabel) {
  LogCommand(commandText);
  SetTimeOut(timeOutSeconds);
  const int result = SendCommand(commandText);
  LogResult(result, resultLabel);
  return result;
}

bool FrameLink::RunCommand(const std::string& commandText, int timeOutSeconds,
                           std::string_view resultLabel) {
  const int result = Transact(commandText, timeOutSeconds, resultLabel);
  if (result == kOk) return true;
  SetError(result);
  return false;
}

// ---------------------------------------------------------------------------------------
// Exchange log

std::string FrameLink::TimeStamp() const {
  const LocalDateTime now = clock_.Now();
  char text[24];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d:%03d", now.hour % 100, now.minute % 100,
                now.second % 100, now.millisecond % 1000);
  return text;
}

void FrameLink::LogLine(std::string_view text) {
  std::string line = TimeStamp();
  line += text;
  exchangeLog_.push_back(std::move(line));
}

void FrameLink::LogResult(int result, std::string_view label) {
  std::string text(label);
  text += std::to_string(result);
  LogLine(text);
}

void FrameLink::LogBytes(std::string_view label, const std::uint8_t* data, std::size_t count) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text(label);
  text.reserve(label.size() + 3 * count);
  for (std::size_t i = 0; i < count; ++i) {
    text += kHex[data[i] >> 4];
    text += kHex[data[i] & 0x0F];
    text += ' ';
  }
  LogLine(text);
}

}  // namespace ruvo
