#include "Engine.h"

#include <algorithm>

namespace xruvo_sim {

namespace {

constexpr std::size_t kRememberedCommands = 10000;

// What the poll answers: 11 characters, "100" at positions 8 to 10 while working.
const std::string kPollBusy = "00000001000";

// Line noise: no ACK, no ETX, so nothing of it can pass for an answer.
const std::string kGarbage = std::string("\x7F\xFF\x00\x55\xAA\x13", 6) + "#?%garbage%?#";

std::string FrameFor(const std::string& text, const Answer& answer) {
  switch (answer.kind) {
    case Answer::Kind::Error:
      return BuildErrorAnswer(answer.error);
    case Answer::Kind::LengthPrefixed:
      return BuildLengthPrefixedAnswer(answer.data);
    case Answer::Kind::Data:
      break;
  }
  return BuildAnswer(text.substr(0, 4), answer.data);
}

}  // namespace

Engine::Engine(ruvo::IClock& clock, std::ostream* paperOut, SimConfig config)
    : clock_(clock),
      paper_(paperOut),
      device_(clock, paper_, config),
      answerDelayMs_(config.answerDelayMs),
      byteTimeUs_(config.byteTimeUs) {}

std::int64_t Engine::ByteTimeUs() const {
  return std::max(byteTimeUs_, faults_.byteDelayMs * 1000);
}

void Engine::Receive(const std::string& bytes) {
  Receive(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

void Engine::Receive(const std::uint8_t* data, std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    if (vanished_) return;
    if (byteTimeUs_ > 0) rxWireUs_ = std::max(rxWireUs_, NowUs()) + byteTimeUs_;
    if (auto frame = parser_.Feed(data[k])) OnFrame(*frame);
  }
}

void Engine::OnFrame(const RequestFrame& frame) {
  const std::int64_t start = AnswerStartUs();
  // A silent ECR says nothing at all, not even NAK to a damaged frame.
  if (faults_.silentAlways) return;
  if (faults_.silentFrames > 0) {
    --faults_.silentFrames;
    return;
  }
  if (!frame.valid) {
    // A frame damaged on the line: the ECR asks for it again.
    ++badFrames_;
    Schedule(std::string(1, kNak), start);
    return;
  }
  received_.push_back(frame.text);
  if (received_.size() > kRememberedCommands) received_.pop_front();
  if (faults_.nakFrames > 0) {
    --faults_.nakFrames;
    Schedule(std::string(1, kNak), start);
    return;
  }
  PromoteDeferred();
  if (Busy()) {
    AnswerWhileBusy(frame.text);
    return;
  }
  if (auto rule = faults_.TakeErrorRule(frame.text)) {
    if (rule->code == ecr_error::kExtended) device_.SetExtendedError(rule->extended);
    Emit(frame.text, Answer::Err(rule->code));
    return;
  }
  if (auto lost = faults_.TakeLostAnswerRule(frame.text)) {
    LoseAnswer(frame.text, *lost);
    return;
  }
  Emit(frame.text, device_.Execute(frame.text));
}

void Engine::LoseAnswer(const std::string& text, const LostAnswerRule& rule) {
  const char* how = "held after running";
  if (rule.mode == LostAnswerRule::Mode::HoldBefore) {
    how = "held without running";
  } else {
    device_.Execute(text);
    if (rule.mode == LostAnswerRule::Mode::Garble) {
      how = "garbled after running";
      Schedule(kGarbage, AnswerStartUs());
    }
  }
  if (messages_ != nullptr) *messages_ << "xruvo_sim: lost " << text << " " << how << std::endl;
}

// While a long command runs the ECR answers only the poll and the stop.
void Engine::AnswerWhileBusy(const std::string& text) {
  const std::int64_t start = AnswerStartUs();
  if (text == "1010") {
    Schedule(BuildAnswer("1010", kPollBusy), start);
    return;
  }
  if (text == "5005") {
    device_.StopReport();
    const std::string stopped = BuildErrorAnswer(ecr_error::kInterrupted);
    deferred_->bytes = deferred_->ackSent ? stopped.substr(1) : stopped;
    deferred_->dueUs = NowUs();
    PromoteDeferred();
    Schedule(BuildAnswer("5005", ""), start);
    return;
  }
  Schedule(BuildErrorAnswer(ecr_error::kWait), start);
}

void Engine::Emit(const std::string& text, const Answer& answer) {
  const std::int64_t start = AnswerStartUs();
  std::string bytes = FrameFor(text, answer);
  if (faults_.garbageFrames > 0) {
    --faults_.garbageFrames;
    Schedule(kGarbage, start);
    return;
  }
  if (faults_.vanishNextAnswer) {
    faults_.vanishNextAnswer = false;
    Schedule(bytes.substr(0, bytes.size() / 2), start);
    vanished_ = true;
    return;
  }
  std::int64_t workMs = answer.workMs;
  bool ackFirst = answer.ackFirst;
  if (faults_.lateFrames > 0) {
    --faults_.lateFrames;
    workMs = std::max(workMs, faults_.lateMs);
    ackFirst = true;
  }
  if (workMs <= 0) {
    Schedule(bytes, start);
    return;
  }
  Deferred later;
  later.dueUs = start + workMs * 1000;
  later.ackSent = ackFirst;
  if (ackFirst) {
    Schedule(std::string(1, kAck), start);
    later.bytes = bytes.substr(1);
  } else {
    later.bytes = bytes;
  }
  deferred_ = later;
}

std::int64_t Engine::AnswerStartUs() const {
  return std::max(NowUs(), rxWireUs_) + answerDelayMs_ * 1000;
}

void Engine::Schedule(const std::string& bytes, std::int64_t startUs) {
  std::int64_t t = std::max(startUs, nextFreeUs_);
  const std::int64_t pace = ByteTimeUs();
  // A byte is due once it has crossed the wire: the first one too, a byte time after the
  // answer starts.
  for (unsigned char c : bytes) {
    t += pace;
    output_.emplace_back(t, c);
  }
  nextFreeUs_ = t;
}

void Engine::PromoteDeferred() {
  if (deferred_ && deferred_->dueUs <= NowUs()) {
    const Deferred due = *deferred_;
    deferred_.reset();
    Schedule(due.bytes, due.dueUs);
  }
}

std::size_t Engine::TakeDue(std::uint8_t* buffer, std::size_t capacity) {
  PromoteDeferred();
  const std::int64_t now = NowUs();
  std::size_t n = 0;
  while (n < capacity && !output_.empty() && output_.front().first <= now) {
    buffer[n++] = output_.front().second;
    output_.pop_front();
  }
  return n;
}

std::string Engine::TakeDue() {
  std::string out;
  std::uint8_t buffer[256];
  while (const std::size_t n = TakeDue(buffer, sizeof buffer))
    out.append(reinterpret_cast<char*>(buffer), n);
  return out;
}

std::optional<std::int64_t> Engine::NextDueUs() const {
  std::optional<std::int64_t> next;
  if (!output_.empty()) next = output_.front().first;
  if (deferred_ && (!next || deferred_->dueUs < *next)) next = deferred_->dueUs;
  return next;
}

void Engine::DropPendingOutput() {
  output_.clear();
  nextFreeUs_ = 0;
}

void Engine::Revive() {
  vanished_ = false;
  parser_.Reset();
  output_.clear();
  nextFreeUs_ = 0;
  deferred_.reset();
}

}  // namespace xruvo_sim
