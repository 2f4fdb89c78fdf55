// The headless timer loop in virtual time, and the command line of ruvo_drv.
#include <gtest/gtest.h>
#include <algorithm>

#include "DriverTestSupport.h"
#include "app/CommandLine.h"
#include "app/TimerLoop.h"

namespace ruvo::testing {
namespace {

// Advances the clock by the length of the work it stands for.
class SlowReceiptFiles final : public IReceiptFiles {
 public:
  explicit SlowReceiptFiles(VirtualClock& clock) : clock_(clock) {}
  bool PickUpNext() override {
    ++pickUps;
    if (pickUps != slowPickUp) return false;
    clock_.Advance(5500);
    return true;
  }
  void CleanOldFiles() override {}
  int pickUps = 0;
  int slowPickUp = -1;

 private:
  VirtualClock& clock_;
};

void StartWithoutConnectionChecks(DriverBench& bench, SlowReceiptFiles& files) {
  bench.driver.SetReceiptFiles(files);
  bench.WriteSettings("[Configurari]\r\nFaraVerificareConexiune=DA\r\n");
  bench.driver.Start();
}

TEST(TimerLoop, FiresBothTimersOnceASecondUntilStopped) {
  DriverBench bench;
  SlowReceiptFiles files(bench.clock);
  StartWithoutConnectionChecks(bench, files);
  const std::int64_t start = bench.clock.MonotonicMs();
  RunTimerLoop(bench.driver, bench.clock,
               [&] { return bench.clock.MonotonicMs() - start >= 10'000; });
  EXPECT_EQ(files.pickUps, 9);  // at 1 s .. 9 s; the loop stops at 10 s before ticking
}

TEST(TimerLoop, TicksDueDuringALongFileAreNotQueuedUp) {
  DriverBench bench;
  SlowReceiptFiles files(bench.clock);
  files.slowPickUp = 2;
  StartWithoutConnectionChecks(bench, files);
  const std::int64_t start = bench.clock.MonotonicMs();
  std::vector<std::int64_t> pickUpTimes;  // when each pick-up had ended
  RunTimerLoop(bench.driver, bench.clock, [&] {
    if (static_cast<int>(pickUpTimes.size()) < files.pickUps)
      pickUpTimes.push_back(bench.clock.MonotonicMs() - start);
    return files.pickUps >= 4;
  });
  // 1 s; 2 s, which takes until 7.5 s; one tick at once; then the rhythm again.
  EXPECT_EQ(pickUpTimes, (std::vector<std::int64_t>{1000, 7500, 7500, 8500}));
}

// A control request wakes the loop's wait (its socket is one of the descriptors waited
// for); it is served at once, not at the next tick, and the ticks keep their rhythm.
TEST(TimerLoop, ControlRequestsAreServedWhenTheyWakeTheWait) {
  DriverBench bench;
  SlowReceiptFiles files(bench.clock);
  StartWithoutConnectionChecks(bench, files);
  const std::int64_t start = bench.clock.MonotonicMs();
  constexpr std::int64_t kRequestEveryMs = 300;
  std::vector<std::int64_t> served;
  RunTimerLoop(
      bench.driver, bench.clock, [&] { return bench.clock.MonotonicMs() - start >= 3000; },
      [&](std::int64_t ms) { bench.clock.SleepMs(std::min(ms, kRequestEveryMs)); },
      [&] { served.push_back(bench.clock.MonotonicMs() - start); });
  ASSERT_GE(served.size(), 8U);
  EXPECT_EQ(served.front(), 0);
  for (std::size_t k = 1; k < served.size(); ++k)
    EXPECT_LE(served[k] - served[k - 1], kRequestEveryMs) << k;
  EXPECT_EQ(files.pickUps, 2);
}

// A file that is found but left waiting as it was (its answer cannot be written, the ECR
// cannot settle it).
class WaitingReceiptFiles final : public IReceiptFiles {
 public:
  bool PickUpNext() override {
    ++pickUps;
    return true;
  }
  void CleanOldFiles() override {}
  bool LastFileWaits() const override { return true; }
  int pickUps = 0;
};

// With immediate pickup a file left waiting is tried again at the ticks: taken again at
// once, it would leave the loop no time to sleep.
TEST(TimerLoop, AFileLeftWaitingIsTriedAgainAtTheTicks) {
  DriverBench bench;
  WaitingReceiptFiles files;
  bench.driver.SetReceiptFiles(files);
  bench.WriteSettings("[Configurari]\r\nFaraVerificareConexiune=DA\r\nPreluareImediata=DA\r\n");
  bench.driver.Start();
  ASSERT_TRUE(bench.driver.ArrivalWatch().Watching());
  const std::int64_t start = bench.clock.MonotonicMs();
  RunTimerLoop(bench.driver, bench.clock,
               [&] { return bench.clock.MonotonicMs() - start >= 3000 || files.pickUps > 100; });
  EXPECT_EQ(files.pickUps, 3);  // on the watch's word at the start, then at 1 s and 2 s
}

TEST(CommandLine, OptionsAndMistakes) {
  {
    const char* argv[] = {"ruvo_drv", "--headless", "--dir", "/tmp/x", "--instance", "t"};
    CommandLine line;
    std::string error;
    ASSERT_TRUE(ParseCommandLine(6, argv, line, error));
    EXPECT_TRUE(line.headless);
    EXPECT_EQ(line.dir, "/tmp/x");
    EXPECT_EQ(line.instanceName, "t");
  }
  {
    const char* argv[] = {"ruvo_drv", "--dir"};
    CommandLine line;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(2, argv, line, error));
    EXPECT_EQ(error, "--dir needs a value");
  }
  {
    const char* argv[] = {"ruvo_drv", "--dir", ""};
    CommandLine line;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(3, argv, line, error));
  }
  {
    const char* argv[] = {"ruvo_drv", "--frobnicate"};
    CommandLine line;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(2, argv, line, error));
    EXPECT_EQ(error, "unknown argument: --frobnicate");
  }
}

TEST(CommandLine, ControlCommandKeepsItsArgumentsEvenWhenTheyLookLikeOptions) {
  {
    const char* argv[] = {"ruvo_drv", "ctl", "--instance", "t",   "mf-report",
                          "--by-z",   "7",   "7",          "--je"};
    CommandLine line;
    std::string error;
    ASSERT_TRUE(ParseCommandLine(9, argv, line, error)) << error;
    EXPECT_TRUE(line.control);
    EXPECT_EQ(line.instanceName, "t");
    EXPECT_EQ(line.controlCommand,
              (std::vector<std::string>{"mf-report", "--by-z", "7", "7", "--je"}));
  }
  {
    const char* argv[] = {"ruvo_drv", "ctl", "cash-out", "-5"};
    CommandLine line;
    std::string error;
    ASSERT_TRUE(ParseCommandLine(4, argv, line, error));
    EXPECT_EQ(line.controlCommand, (std::vector<std::string>{"cash-out", "-5"}));
  }
  for (const std::vector<const char*>& bad : {std::vector<const char*>{"ruvo_drv", "ctl"},
                                              {"ruvo_drv", "ctl", "--dir", "/tmp"},
                                              {"ruvo_drv", "ctl", "--headless", "status"}}) {
    CommandLine line;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(static_cast<int>(bad.size()), bad.data(), line, error))
        << bad.size();
  }
  {
    const char* argv[] = {"ruvo_drv", "--help"};
    CommandLine line;
    std::string error;
    ASSERT_TRUE(ParseCommandLine(2, argv, line, error));
    EXPECT_NE(UsageText().find("ruvo_drv ctl [--dir DIR] [--instance NAME] COMMAND"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace ruvo::testing
