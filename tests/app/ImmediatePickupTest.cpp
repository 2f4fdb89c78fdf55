// Immediate pickup ("PreluareImediata"): a receipt file renamed into the working folder is
// taken on the folder watch's word, before the next tick; the tick's rules still hold; with
// the key off nothing changes. The driver runs in virtual time on a real folder, so the
// watch sees real file-system events.
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
  for (const std::string& settings : {std::string(), std::string("PreluareImediata=da\r\n")}) {
    PickupRig rig(settings);
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

}  // namespace
}  // namespace ruvo::testing
