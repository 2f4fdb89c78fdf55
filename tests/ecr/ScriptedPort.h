#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/SerialPort.h"

namespace ruvo::test {

// One piece of an ECR answer: it arrives delayMs after the previous piece (or after the
// frame it answers).
struct Chunk {
  std::int64_t delayMs = 0;
  std::string bytes;
};
using Reaction = std::vector<Chunk>;

// A serial line with a scripted ECR behind it, in virtual time. Each written frame takes
// the next queued reaction (none left: silence). Read advances the virtual clock to the
// next due piece, or by the whole time-out when nothing is due within it.
class ScriptedPort final : public ISerialPort {
 public:
  explicit ScriptedPort(VirtualClock& clock) : clock_(clock) {}

  void Queue(Reaction reaction) { reactions_.push_back(std::move(reaction)); }
  void QueueAnswer(std::string bytes, std::int64_t delayMs = 10) {
    Queue({Chunk{delayMs, std::move(bytes)}});
  }
  void QueueSilence() { Queue({}); }

  bool openSucceeds = true;
  bool writeSucceeds = true;
  std::vector<std::string> openedNames;
  std::vector<std::string> written;
  int closeCount = 0;

  bool Open(const std::string& portName) override {
    openedNames.push_back(portName);
    connected_ = openSucceeds;
    return openSucceeds;
  }
  void Close() override {
    ++closeCount;
    connected_ = false;
  }
  bool Connected() const override { return connected_; }

  bool Write(const std::uint8_t* data, std::size_t count) override {
    if (!writeSucceeds) return false;
    written.emplace_back(reinterpret_cast<const char*>(data), count);
    if (reactions_.empty()) return true;
    std::int64_t due = clock_.MonotonicMs();
    for (Chunk& chunk : reactions_.front()) {
      due += chunk.delayMs;
      pending_.push_back(Pending{due, std::move(chunk.bytes)});
    }
    reactions_.pop_front();
    std::stable_sort(pending_.begin(), pending_.end(),
                     [](const Pending& a, const Pending& b) { return a.due < b.due; });
    return true;
  }

  std::size_t Read(std::uint8_t* buffer, std::size_t capacity, int timeoutMs) override {
    const std::int64_t now = clock_.MonotonicMs();
    if (pending_.empty() || pending_.front().due > now + timeoutMs) {
      clock_.Advance(timeoutMs);
      return 0;
    }
    Pending& next = pending_.front();
    clock_.Advance(next.due - now);
    const std::size_t count = std::min(capacity, next.bytes.size());
    std::memcpy(buffer, next.bytes.data(), count);
    next.bytes.erase(0, count);
    if (next.bytes.empty()) pending_.pop_front();
    return count;
  }

 private:
  struct Pending {
    std::int64_t due;
    std::string bytes;
  };
  VirtualClock& clock_;
  bool connected_ = false;
  std::deque<Reaction> reactions_;
  std::deque<Pending> pending_;
};

// Answer frames as the ECR sends them: ACK, four bytes, the command echo, the data, two
// checksum characters, ETX.
inline std::string Answer(const std::string& data, char first = '\x06') {
  return std::string(1, first) + "00001215" + data + "00" + "\x03";
}
inline std::string ErrorAnswer(const std::string& code) {
  return std::string("\x06") + "0000" + "ERR" + code + "00" + "\x03";
}
// The keep-alive answer: 11 data characters, "100" at 8 to 10 while the ECR is busy.
inline std::string PollAnswer(const std::string& state = "100") {
  return Answer("1234567" + state + "9");
}

}  // namespace ruvo::test
