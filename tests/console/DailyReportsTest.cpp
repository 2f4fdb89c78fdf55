// "Raport zilnic" and "Raport X" on the simulated ECR, in virtual time: the state check
// before them, the long wait for the printer, the messages, the log and the pause after.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/ManualOperations.h"
#include "support/ConsoleRig.h"

namespace ruvo {
namespace {

using Texts = std::vector<std::string>;

xruvo_sim::SimConfig PrintingFor(std::int64_t ms) {
  xruvo_sim::SimConfig config;
  config.reportMs = ms;
  return config;
}

class DailyReportsTest : public testing::ConsoleRig {};

TEST_F(DailyReportsTest, HealthyEcrPrintsAndTheLogGoesToTheLogFolder) {
  state.settings.logFile = true;
  EXPECT_TRUE(RunZReport(Context()));
  EXPECT_EQ(Sent(), (Texts{"1215", "2002"}));
  EXPECT_EQ(engine.GetDevice().LastZNumber(), 1);
  clock.Advance(1000);
  EXPECT_TRUE(RunXReport(Context()));
  EXPECT_EQ(Sent(), (Texts{"1215", "2003"}));
  EXPECT_TRUE(op.boxes.empty());
  EXPECT_EQ(Files("Log", "Log_RapZ_*.TXT").size(), 1u);
  EXPECT_EQ(Files("Log", "Log_RapX_*.TXT").size(), 1u);
  EXPECT_TRUE(Files("History", "*").empty());
}

TEST_F(DailyReportsTest, HalfASecondPassesAfterEachReportForTheClicksQueuedMeanwhile) {
  const std::int64_t before = clock.MonotonicMs();
  RunXReport(Context());
  EXPECT_GE(clock.MonotonicMs() - before, 500);

  // Also when the port did not open.
  state.settings.port = 0;
  const std::int64_t again = clock.MonotonicMs();
  EXPECT_FALSE(RunZReport(Context()));
  EXPECT_EQ(clock.MonotonicMs() - again, 500);
}

class SlowPrinterTest : public testing::ConsoleRig {
 protected:
  SlowPrinterTest() : ConsoleRig(PrintingFor(170'000)) {}
};

TEST_F(SlowPrinterTest, ReportMayPrintForAlmostThreeMinutes) {
  state.settings.longTimeOut = 5;  // not the report's wait: that one is its own
  const std::int64_t before = clock.MonotonicMs();
  EXPECT_TRUE(RunZReport(Context()));
  EXPECT_GE(clock.MonotonicMs() - before, 170'000);
  EXPECT_TRUE(op.boxes.empty());
}

class StuckPrinterTest : public testing::ConsoleRig {
 protected:
  StuckPrinterTest() : ConsoleRig(PrintingFor(200'000)) {}
};

TEST_F(StuckPrinterTest, ReportThatOutlastsTheWaitIsATimeOut) {
  const std::int64_t before = clock.MonotonicMs();
  EXPECT_FALSE(RunXReport(Context()));
  const std::int64_t waited = clock.MonotonicMs() - before;
  EXPECT_GE(waited, 180'000);
  EXPECT_LT(waited, 190'000);
  EXPECT_EQ(op.BoxTexts(), Texts{"Nu pot efectua raportul X zilnic  !\r8048;TIME OUT"});
  EXPECT_EQ(ports.open, 0);
}

TEST_F(DailyReportsTest, FailedCheckStopsTheReportWithItsOwnMessage) {
  Fault("mf-full");
  Fault("cover-open");
  EXPECT_FALSE(RunZReport(Context()));
  EXPECT_EQ(Sent(), Texts{"1215"});
  ASSERT_EQ(op.boxes.size(), 1u);
  EXPECT_EQ(op.boxes[0].text.substr(0, 36), "Nu pot efectua raportul zilnic  !\r51");
  EXPECT_EQ(op.boxes[0].caption, "Eroare");
  EXPECT_FALSE(FileExists(state.workingFolder + "ERROR.TXT"));

  // The X report has the same message for its check.
  EXPECT_FALSE(RunXReport(Context()));
  EXPECT_EQ(op.boxes[1].text.substr(0, 34), "Nu pot efectua raportul zilnic  !\r");
}

TEST_F(DailyReportsTest, FullJournalIsNoObstacleAndACoverClearedByTheOperatorGoesOnAtOnce) {
  Fault("je-full");
  EXPECT_TRUE(RunZReport(Context()));
  EXPECT_EQ(Sent(), (Texts{"1215", "2002"}));
  Fault("je-full off");

  state.settings.tratareEroareStare = 1;
  op.answer = MsgResult::Yes;
  Fault("cover-open");
  RunXReport(Context());  // whether the ECR prints with its cover open is its own affair
  EXPECT_EQ(Sent(), (Texts{"1215", "2003"}));  // the status is not read again
  ASSERT_FALSE(op.boxes.empty());
  EXPECT_EQ(op.boxes[0].caption, "Eroare imprimanta");
}

TEST_F(DailyReportsTest, ReceiptLeftOpenIsClearedBeforeTheReport) {
  OpenReceipt(5);
  EXPECT_TRUE(RunXReport(Context()));
  // A report names no receipt, so the paid one's number is not asked for.
  EXPECT_EQ(Sent(), (Texts{"1215", "1012", "30140", "2003"}));
  OpenReceipt(2);
  EXPECT_TRUE(RunXReport(Context()));
  EXPECT_EQ(Sent(), (Texts{"1215", "1012", "33028", "30140", "2003"}));
}

TEST_F(DailyReportsTest, RefusedReportsHaveTheirMessages) {
  Fault("err 2002 5 once");
  EXPECT_FALSE(RunZReport(Context()));
  Fault("err 2003 5 once");
  EXPECT_FALSE(RunXReport(Context()));
  const Texts boxes = op.BoxTexts();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].substr(0, 31), "Nu pot efectua raportul Z  !\r5;");
  EXPECT_EQ(boxes[1].substr(0, 38), "Nu pot efectua raportul X zilnic  !\r5;");
}

}  // namespace
}  // namespace ruvo
