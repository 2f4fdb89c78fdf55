#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "LinkFixture.h"
#include "ScriptedPort.h"
#include "ecr/TXruvoLinux.h"

namespace ruvo::test {
namespace {

// Time in microseconds that moves only when somebody waits.
class MicroClock final : public IClock {
 public:
  LocalDateTime Now() const override { return LocalDateTime{}; }
  std::int64_t MonotonicMs() const override { return us / 1000; }
  std::int64_t MonotonicUs() const override { return us; }
  void SleepMs(std::int64_t ms) override { SleepUs(ms * 1000); }
  void SleepUs(std::int64_t wait) override {
    if (wait <= 0) return;
    us += wait;
    slept += wait;
    ++sleeps;
  }
  std::int64_t us = 0;
  std::int64_t slept = 0;
  int sleeps = 0;
};

// A serial line at 115,200 bit/s with an ECR behind it: the answer starts answerDelayUs
// after the request has gone out and then comes byte by byte at the line's pace, or
// all at once when the line is a burst (as a USB adapter hands them over). A read
// that waits is woken by the first byte that arrives, as a terminal device wakes its reader.
class PacedLine final : public ISerialPort {
 public:
  explicit PacedLine(MicroClock& clock) : clock_(clock) {}

  std::string answer;
  // How long the ECR thinks before it answers.
  std::int64_t answerDelayUs = 0;
  // The first byte is handed over this late (a slow interrupt, a busy simulator); the bytes
  // due meanwhile follow right behind it.
  std::int64_t firstByteLateUs = 0;
  bool burst = false;
  int readsWithBytes = 0;
  int readCalls = 0;

  bool Open(const std::string&) override { return open_ = true; }
  void Close() override { open_ = false; }
  bool Connected() const override { return open_; }
  std::int64_t ByteTimeUs() const override { return kByteUs; }

  bool Write(const std::uint8_t*, std::size_t count) override {
    start_ = clock_.us + static_cast<std::int64_t>(count) * kByteUs + answerDelayUs;
    taken_ = 0;
    return true;
  }

  std::size_t Read(std::uint8_t* buffer, std::size_t capacity, int timeoutMs) override {
    ++readCalls;
    if (Arrived() == taken_) {
      if (taken_ == answer.size()) {  // a silent ECR: the whole wait passes
        clock_.us += static_cast<std::int64_t>(timeoutMs) * 1000;
        return 0;
      }
      const std::int64_t next = ArrivalOf(taken_);
      if (next > clock_.us + static_cast<std::int64_t>(timeoutMs) * 1000) {
        clock_.us += static_cast<std::int64_t>(timeoutMs) * 1000;
        return 0;
      }
      clock_.us = next;
    }
    const std::size_t count = std::min(capacity, Arrived() - taken_);
    std::memcpy(buffer, answer.data() + taken_, count);
    taken_ += count;
    ++readsWithBytes;
    return count;
  }

  // When the last byte of the answer is there to be read.
  std::int64_t AnswerEndUs() const { return ArrivalOf(answer.size() - 1); }

  static constexpr std::int64_t kByteUs = 86;

 private:
  std::int64_t ArrivalOf(std::size_t index) const {
    if (burst) return start_ + static_cast<std::int64_t>(answer.size()) * kByteUs;
    const std::int64_t onTime = start_ + static_cast<std::int64_t>(index + 1) * kByteUs;
    const std::int64_t first = start_ + kByteUs + firstByteLateUs;
    return index == 0 ? first : std::max(onTime, first + 1);
  }
  std::size_t Arrived() const {
    std::size_t n = 0;
    while (n < answer.size() && ArrivalOf(n) <= clock_.us) ++n;
    return n;
  }

  MicroClock& clock_;
  bool open_ = false;
  std::int64_t start_ = 0;
  std::size_t taken_ = 0;
};

struct LineRig {
  LineRig() {
    auto paced = std::make_unique<PacedLine>(clock);
    line = paced.get();
    link = std::make_unique<TXruvoLinux>(std::move(paced), clock, pump);
    link->Engine().OpenPort(1);
  }
  MicroClock clock;
  CountingPump pump;
  PacedLine* line = nullptr;
  std::unique_ptr<TXruvoLinux> link;
};

const std::string kStatus = "00010011010010000000";

// The line is left alone while it carries what the answer still lacks, and the answer is
// taken the moment its last byte is there: fewer wake-ups, not a later answer.
TEST(LineHold, AStatusAnswerIsReadInAFewPiecesAndEndsWithItsLastByte) {
  LineRig rig;
  rig.line->answer = Answer(kStatus);
  ASSERT_EQ(rig.line->answer.size(), 32u);
  ASSERT_TRUE(rig.link->ReadStatus()) << rig.link->Engine().LastError();
  EXPECT_EQ(rig.link->StatusText(), kStatus);
  EXPECT_EQ(rig.clock.us, rig.line->AnswerEndUs());
  EXPECT_LE(rig.line->readsWithBytes, 4);
  EXPECT_GT(rig.clock.sleeps, 0);

  // Any other command knows only the shortest answer, and still ends on its last byte.
  rig.line->answer = Answer("A longer answer than the shortest one");
  ASSERT_TRUE(rig.link->Engine().RunCommand("1001", FrameLink::kDefaultTimeOut));
  EXPECT_EQ(rig.link->Engine().LastAnswer(), "A longer answer than the shortest one");
  EXPECT_EQ(rig.clock.us, rig.line->AnswerEndUs());
}

// A piece handed over late says nothing about when the rest comes: it may follow at once.
// An ECR that thinks before it answers only makes the line's schedule later.
TEST(LineHold, ALateFirstByteOrASlowEcrDoesNotMakeTheAnswerLate) {
  for (const std::int64_t lateUs : {0, 300, 700, 2000}) {
    for (const std::int64_t thinkUs : {0, 100, 1000, 20000}) {
      LineRig rig;
      rig.line->answer = Answer(kStatus);
      rig.line->firstByteLateUs = lateUs;
      rig.line->answerDelayUs = thinkUs;
      ASSERT_TRUE(rig.link->ReadStatus()) << rig.link->Engine().LastError();
      EXPECT_EQ(rig.clock.us, rig.line->AnswerEndUs())
          << lateUs << " us late, " << thinkUs << " us";
    }
  }
}

// The idle connection check's answer is awaited by nobody: after its first byte the rest
// is taken in one piece, a little after its last byte, even when that first byte came late.
TEST(LineHold, TheIdleProbeTakesTheRestOfItsAnswerInOneWakeUp) {
  for (const std::int64_t lateUs : {0, 700}) {
    LineRig rig;
    rig.line->answer = Answer(kStatus);
    rig.line->answerDelayUs = 200;
    rig.line->firstByteLateUs = lateUs;
    ASSERT_TRUE(rig.link->ProbeStatus()) << rig.link->Engine().LastError();
    EXPECT_EQ(rig.link->StatusText(), kStatus);
    EXPECT_EQ(rig.line->readsWithBytes, 2) << lateUs;
    EXPECT_EQ(rig.clock.sleeps, 1) << lateUs;
    EXPECT_GE(rig.clock.us, rig.line->AnswerEndUs());
    EXPECT_LE(rig.clock.us, rig.line->AnswerEndUs() + 1000);
  }
}

TEST(LineHold, AnAnswerShorterThanExpectedIsStillTakenWhole) {
  LineRig rig;
  rig.line->answer = ErrorAnswer("16");
  EXPECT_FALSE(rig.link->ReadStatus());
  EXPECT_EQ(rig.link->Engine().LastError().rfind("16;", 0), 0u) << rig.link->Engine().LastError();
  // Late by no more than the status bytes it did not send.
  const std::int64_t missing = 32 - static_cast<std::int64_t>(rig.line->answer.size());
  EXPECT_GE(rig.clock.us, rig.line->AnswerEndUs());
  EXPECT_LE(rig.clock.us, rig.line->AnswerEndUs() + missing * PacedLine::kByteUs);
}

// A device that is no real line (USB, a terminal pair) hands the answer over at once.
TEST(LineHold, AnAnswerThatComesInOneBurstIsNotWaitedFor) {
  LineRig rig;
  rig.line->burst = true;
  rig.line->answer = Answer(kStatus);
  ASSERT_TRUE(rig.link->ReadStatus());
  EXPECT_EQ(rig.clock.us, rig.line->AnswerEndUs());
  EXPECT_EQ(rig.line->readsWithBytes, 1);
  EXPECT_EQ(rig.clock.sleeps, 0);
}

TEST(LineHold, ASilentEcrTimesOutOnTime) {
  LineRig rig;
  rig.line->answer.clear();
  rig.link->Engine().SetTimeOut(2);
  const std::int64_t start = rig.clock.us;
  EXPECT_EQ(rig.link->Engine().SendCommand("1215"), FrameLink::kErrTimeOut);
  EXPECT_LT(rig.clock.us - start, 2000 * 1000 + 1000);
}

}  // namespace
}  // namespace ruvo::test
