// libFuzzer target for the ECR link's reading of answers: whatever bytes come down the
// line, in whatever pieces and at whatever pace, the link ends each command with a result
// and never reads or writes outside its buffers.
//
// Input: the ECR's side of the conversation, as records of [length][pause][bytes]: length
// bytes arrive pause * 10 ms (virtual time) after the previous piece. A record of length
// 0 ends the reaction to one request frame; the next frame gets the next reaction. When the
// input runs out, the ECR falls silent.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>

#include "ecr/TXruvoLinux.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/SerialPort.h"

namespace {

struct Piece {
  std::int64_t due = 0;
  std::string bytes;
};

class FuzzedLine final : public ruvo::ISerialPort {
 public:
  FuzzedLine(const std::uint8_t* data, std::size_t size, ruvo::VirtualClock& clock)
      : data_(data), size_(size), clock_(clock) {}

  bool Open(const std::string&) override { return connected_ = true; }
  void Close() override { connected_ = false; }
  bool Connected() const override { return connected_; }

  bool Write(const std::uint8_t*, std::size_t) override {
    // The reaction to this frame: the next records up to an empty one.
    std::int64_t due = clock_.MonotonicMs();
    while (offset_ + 2 <= size_) {
      const std::size_t length = data_[offset_];
      const std::int64_t pause = data_[offset_ + 1] * 10;
      offset_ += 2;
      if (length == 0) break;
      const std::size_t available = std::min(length, size_ - offset_);
      due += pause;
      pending_.push_back(
          Piece{due, std::string(reinterpret_cast<const char*>(data_ + offset_), available)});
      offset_ += available;
    }
    return true;
  }

  std::size_t Read(std::uint8_t* buffer, std::size_t capacity, int timeoutMs) override {
    const std::int64_t now = clock_.MonotonicMs();
    if (pending_.empty() || pending_.front().due > now + timeoutMs) {
      clock_.Advance(timeoutMs);
      return 0;
    }
    Piece& next = pending_.front();
    clock_.Advance(next.due - now);
    const std::size_t count = std::min(capacity, next.bytes.size());
    std::memcpy(buffer, next.bytes.data(), count);
    next.bytes.erase(0, count);
    if (next.bytes.empty()) pending_.pop_front();
    return count;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
  ruvo::VirtualClock& clock_;
  std::deque<Piece> pending_;
  bool connected_ = false;
};

// Virtual time needs no slicing: each wait may block until its deadline.
class WholeWaitPump final : public ruvo::IEventPump {
 public:
  void Pump() override {}
  int SliceMs() const override { return 1 << 30; }
};

void ExpectError(ruvo::TXruvoLinux& link, bool ok) {
  if (!ok && link.LastError().empty()) __builtin_trap();  // a failure always says why
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ruvo::VirtualClock clock;
  WholeWaitPump pump;
  ruvo::TXruvoLinux link(std::make_unique<FuzzedLine>(data, size, clock), clock, pump);
  if (!link.OpenPort(1)) __builtin_trap();

  // Commands whose answers are taken apart in different ways; each takes the next reaction.
  std::string answer;
  int resultCode = 0;
  ExpectError(link, link.ReadStatus());
  ExpectError(link, link.ReadReceiptState());
  ExpectError(link, link.ReadLastReceiptNumber(answer));
  ExpectError(link, link.ReadDocumentState(answer));
  ExpectError(link, link.ReadFiscalSeries(answer, resultCode));
  ExpectError(link, link.ReadJEFreeLines());
  ExpectError(link, link.ReadPrinterState(answer));
  ExpectError(link, link.ReadDailyTotals());
  ExpectError(link, link.ReadTotalizer(3, answer));
  ExpectError(link, link.Payment(1, "NUMERAR", 12.5));
  ExpectError(link, link.CloseReceipt());
  ExpectError(link, link.ReadExportData());
  ExpectError(link, link.PrintJEReceiptsOfZ(1, 1, 2));
  link.ClosePort();
  return 0;
}
