// Stopping a report through the link that prints it: the port is held exclusively by that
// link, so a stop can only travel on it, beside the report's own wait.
#include <algorithm>

#include "ecr/DecimalText.h"
#include "ecr/FrameLink.h"
#include "platform/ServedPause.h"

namespace ruvo {

namespace {

// The wait for the stop's own answer, as the report dialog's stop waits for it.
constexpr int kStopAnswerTimeOutSeconds = 30;

constexpr std::string_view kStopCommand = "5005";

}  // namespace

bool FrameLink::RequestStop() {
  if (!connected_) return false;
  // One stop per report: more clicks while it travels add nothing.
  if (stopAsked_) return true;
  stopAsked_ = true;
  stopPending_ = true;
  return true;
}

void FrameLink::Pause(std::int64_t ms) { ServedPause(clock_, pump_, ms); }

void FrameLink::SendStopFrame() {
  stopPending_ = false;
  LogCommand(std::string(kStopCommand));
  // The report's answer is still awaited; only the line is shared, the receive state is
  // the report's until its answer is whole.
  if (WriteFrame(BuildFrame(kStopCommand))) {
    stopSent_ = true;
  } else {
    LogResult(kErrNotConnected);
  }
}

void FrameLink::KeepStopCarry(std::size_t end) {
  const std::size_t count = static_cast<std::size_t>(rxCount_);
  if (end < count)
    stopCarry_.append(reinterpret_cast<const char*>(rxBuffer_.data()) + end, count - end);
}

void FrameLink::ReadStopAnswer() {
  stopSent_ = false;
  // The waited answer and its data are the caller's; only the receive buffer is reused.
  const std::string carried = std::move(stopCarry_);
  stopCarry_.clear();
  const std::int64_t ownTimeOutMs = timeOutMs_;
  const bool ownTimedOut = timedOut_;
  SetTimeOut(kStopAnswerTimeOutSeconds);
  ClearReceive();
  RestartTimer();
  if (!carried.empty()) {
    StoreRx(reinterpret_cast<const std::uint8_t*>(carried.data()), carried.size());
  }
  while (!answerComplete_ && !timedOut_) WaitSlice();
  StopTimer();
  int result = kOk;
  if (!answerComplete_) {
    result = kErrTimeOut;
  } else if (FirstRxByte() == kNak) {
    result = kErrNak;
  } else {
    const std::string data = GetAnswerData();
    if (data.size() == 5 && data.compare(0, 3, "ERR") == 0) {
      result = DecimalIntOr(std::string_view(data).substr(3, 2), kErrNak);
    }
  }
  LogResult(result);
  timeOutMs_ = ownTimeOutMs;
  timedOut_ = ownTimedOut;
}

}  // namespace ruvo
