// Immediate pickup ("PreluareImediata"): a receipt file renamed into the working folder is
// taken on the folder watch's word, before the next tick; the tick's rules still hold; with
// the key off nothing changes. The driver runs in virtual time on a real folder, so the
// watch sees real file-system events.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CycleTestSupport.h"
#include "DriverTestSupport.h"
#include "app/ReceiptCycle.h"
#include "app/TimerLoop.h"
#include "platform/WaitReadable.h"

namespace ruvo::testing {
namespace {

const std::string kSale = "1;ITEM;PCS;1;1;250;200000\r\n5;500;1\r\n";

// The driver with the real receipt file cycle (and fake executors) on its folder.
struct PickupRig {
  explicit PickupRig(const std::string& settings) {
    bench.WriteSettings("[Configurari]\r\nFaraVerificareConexiune=DA\r\n" + settings);
    bench.driver.SetReceiptFiles(files);
    bench.driver.Start();
  }

  // The sales application's way: written under another name, renamed into place.
  void Drop() {
    WriteBytes(bench.Path("ONLINE.TMP"), kSale);
    ASSERT_EQ(std::rename(bench.Path("ONLINE.TMP").c_str(), bench.Path("ONLINE.TXT").c_str()), 0);
  }
  bool Answered() const { return Exists(bench.Path("ERROR.TXT")); }

  // Runs the headless loop until the file is answered (or 5 ticks have passed), and tells
  // in which order things happened: "tick" when the loop slept until a tick was due,
  // "answer" when the response appeared. The file is dropped during the first sleep.
  std::vector<std::string> RunUntilAnswered() {
    std::vector<std::string> events;
    bool dropped = false;
    RunTimerLoop(
        bench.driver, bench.clock,
        [&] {
          if (Answered()) events.push_back("answer");
          return Answered() || events.size() >= 5;
        },
        [&](std::int64_t ms) {
          if (!dropped) {
            dropped = true;
            Drop();
          }
          // The real descriptor says whether the watch saw something; time is virtual.
          if (WaitReadable({bench.driver.ArrivalWatch().Fd()}, 0)) return;
          bench.clock.Advance(ms);
          events.push_back("tick");
        });
    return events;
  }

  DriverBench bench;
  FakeExecution execution;
  ReceiptFileCycle cycle{bench.driver.State(), bench.op, bench.clock, execution};
  ReceiptFilesOf<ReceiptFileCycle> files{cycle};
};

TEST(ImmediatePickup, AFileRenamedIntoTheFolderIsAnsweredBeforeTheNextTick) {
  PickupRig rig("PreluareImediata=DA\r\n");
  EXPECT_EQ(rig.RunUntilAnswered(), (std::vector<std::string>{"answer"}));
  EXPECT_EQ(ReadBytes(rig.bench.Path("ERROR.TXT")), "0 OK\r\n");
  EXPECT_EQ(rig.execution.Executions(), 1);
  EXPECT_FALSE(Exists(rig.bench.Path("ONLINE.TXT")));
}

TEST(ImmediatePickup, OffOrNotDaTheFileWaitsForTheTick) {
  // A fresh file in virtual time has no trustworthy age, so the quiet time is set to none.
  for (const std::string& settings : {std::string(), std::string("PreluareImediata=da\r\n")}) {
    PickupRig rig(settings + "PauzaFisierScris=0\r\n");
    EXPECT_FALSE(rig.bench.driver.ArrivalWatch().Watching());
    EXPECT_EQ(rig.RunUntilAnswered(), (std::vector<std::string>{"tick", "answer"})) << settings;
    EXPECT_EQ(rig.execution.Executions(), 1);
  }
}

TEST(ImmediatePickup, TheTickRulesStillHold) {
  PickupRig rig("PreluareImediata=DA\r\n");
  // While the ECR does not answer, TcheckCOM retries and no file is taken, not even on
  // the watch's word; the file is taken once the ECR is back.
  rig.bench.SetEcrSilent(true);
  rig.bench.driver.SetProcessing(false);
  rig.bench.driver.SetProcessing(true);
  ASSERT_TRUE(rig.bench.driver.State().checkComEnabled);
  rig.Drop();
  rig.bench.driver.ReceiptArrived();
  EXPECT_FALSE(rig.Answered());
  EXPECT_FALSE(rig.bench.driver.ArrivalPending());
  rig.bench.SetEcrSilent(false);
  rig.bench.driver.TcheckComTick();
  ASSERT_FALSE(rig.bench.driver.State().checkComEnabled);
  EXPECT_TRUE(rig.bench.driver.ArrivalPending());
  rig.bench.driver.ReceiptArrived();
  EXPECT_TRUE(rig.Answered());

  // Busy (a file or a check running): the arrival waits, and is not lost.
  std::remove(rig.bench.Path("ERROR.TXT").c_str());
  rig.bench.driver.State().busy = true;
  rig.Drop();
  rig.bench.driver.ReceiptArrived();
  EXPECT_FALSE(rig.Answered());
  rig.bench.driver.State().busy = false;
  EXPECT_TRUE(rig.bench.driver.ArrivalPending());
  rig.bench.driver.ReceiptArrived();
  EXPECT_TRUE(rig.Answered());

  // Stopped processing watches nothing; files and other names are no news.
  rig.bench.driver.SetProcessing(false);
  EXPECT_FALSE(rig.bench.driver.ArrivalWatch().Watching());
  rig.bench.driver.SetProcessing(true);
  rig.bench.driver.ReceiptArrived();  // what was waiting at the start: nothing
  EXPECT_FALSE(rig.bench.driver.ArrivalPending());
  WriteBytes(rig.bench.Path("ERROR7.TXT"), "x");
  EXPECT_FALSE(WaitReadable({rig.bench.driver.ArrivalWatch().Fd()}, 0) &&
               rig.bench.driver.ArrivalPending());
  rig.bench.driver.ReceiptArrived();
  EXPECT_FALSE(rig.bench.driver.ArrivalPending());
}

// A sale of lineCount lines as the sales application writes them (without their CR LF).
std::vector<std::string> SaleLines(int lineCount) {
  std::vector<std::string> lines;
  for (int k = 1; k < lineCount; ++k) {
    lines.push_back("1;ART " + std::to_string(k) + ";BUC;1;1;100;100000");
  }
  lines.push_back("5;" + std::to_string((lineCount - 1) * 100) + ";1");
  return lines;
}

void AppendLine(int fd, const std::string& line) {
  const std::string bytes = line + "\r\n";
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// A sales application writing lines into ONLINE.TXT in place, one every 150 ms, each by
// open, append and close; or, with holdOpenMs, through one descriptor it keeps open that
// long after its last line. The driver runs beside it in steps of 10 ms of virtual time: its
// two ticks once a second, and what its watch saw (when on) after every step.
void WriteLineByLine(PickupRig& rig, const std::vector<std::string>& lines,
                     std::int64_t holdOpenMs) {
  DriverBench& b = rig.bench;
  const std::string path = b.Path("ONLINE.TXT");
  const std::int64_t start = b.clock.MonotonicMs();
  std::int64_t nextTick = start + Driver::kTimerIntervalMs;
  std::size_t written = 0;
  int held = -1;
  while (!rig.Answered() && b.clock.MonotonicMs() - start < 20000) {
    const std::int64_t now = b.clock.MonotonicMs() - start;
    if (written < lines.size() && now >= 150 * static_cast<std::int64_t>(written)) {
      if (holdOpenMs > 0) {
        if (held < 0) held = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        AppendLine(held, lines[written]);
      } else {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        AppendLine(fd, lines[written]);
        ::close(fd);
      }
      ++written;
    }
    if (held >= 0 && written == lines.size() &&
        now >= 150 * static_cast<std::int64_t>(lines.size() - 1) + holdOpenMs) {
      ::close(held);
      held = -1;
    }
    b.driver.ReceiptArrived();
    if (b.clock.MonotonicMs() >= nextTick) {
      b.driver.TcheckComTick();
      b.driver.TprocessorTick();
      nextTick = b.clock.MonotonicMs() + Driver::kTimerIntervalMs;
    }
    b.clock.Advance(10);
  }
  if (held >= 0) ::close(held);
}

TEST(ImmediatePickup, ALineByLineWriterInPlaceGivesOneWholeReceiptWatchedOrNot) {
  const std::vector<std::string> lines = SaleLines(12);
  for (const std::string& key : {std::string("DA"), std::string("NU")}) {
    for (const std::int64_t holdOpenMs : {std::int64_t{0}, std::int64_t{2500}}) {
      SCOPED_TRACE("PreluareImediata=" + key + ", held open " + std::to_string(holdOpenMs));
      PickupRig rig("PreluareImediata=" + key + "\r\n");
      WriteLineByLine(rig, lines, holdOpenMs);
      EXPECT_TRUE(rig.Answered());
      ASSERT_EQ(rig.execution.Executions(), 1);
      EXPECT_EQ(rig.execution.executedLines[0], lines);
    }
  }
}

TEST(ImmediatePickup, AFileWrittenInPlaceIsTakenWhenQuietWithoutWaitingForTheTick) {
  PickupRig rig("PreluareImediata=DA\r\nPauzaFisierScris=300\r\n");
  std::vector<std::int64_t> waits;
  bool dropped = false;
  RunTimerLoop(
      rig.bench.driver, rig.bench.clock, [&] { return rig.Answered() || waits.size() >= 5; },
      [&](std::int64_t ms) {
        waits.push_back(ms);
        if (!dropped) {
          dropped = true;
          WriteBytes(rig.bench.Path("ONLINE.TXT"), kSale);
        }
        if (WaitReadable({rig.bench.driver.ArrivalWatch().Fd()}, 0)) return;
        rig.bench.clock.Advance(ms);
      });
  // Written during the first sleep: seen at once, then the loop sleeps out the quiet time
  // alone, not the rest of the second.
  EXPECT_EQ(waits, (std::vector<std::int64_t>{1000, 300}));
  EXPECT_EQ(rig.execution.Executions(), 1);
  EXPECT_FALSE(rig.bench.driver.NextArrivalInMs().has_value());
}

}  // namespace
}  // namespace ruvo::testing
