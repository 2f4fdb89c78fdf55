#include <gtest/gtest.h>

#include <csignal>

#include "GuiBench.h"
#include "app/ReceiptCycle.h"
#include "app/ReceiptFiles.h"
#include "console/gui/StopSignals.h"
#include "e2e/DriverRig.h"
#include "platform/Files.h"
#include "receipt/EcrReceiptExecution.h"

namespace ruvo::testing {
namespace {

std::string ExampleSale() { return ReadBytes(std::string(RUVO_SOURCE_DIR) + "/examples/ONLINE.TXT"); }

TEST(WindowAndReceipts, AFileDroppedWhileTheWindowIsOpenIsAnswered) {
  WindowBench bench;
  EcrReceiptExecution execution(bench.driver.Context());
  ReceiptFileCycle cycle(bench.driver.State(), bench.op, bench.clock, execution);
  ReceiptFilesOf<ReceiptFileCycle> files(cycle);
  bench.driver.SetReceiptFiles(files);
  bench.window.Start();

  WriteBytes(bench.Path("ONLINE.TXT"), ExampleSale());
  ASSERT_TRUE(RunUntil([&] { return !FileExists(bench.Path("ONLINE.TXT")); }, 10000));
  EXPECT_EQ(ReadBytes(bench.Path("ERROR.TXT")), "0 OK\r\nBON FISCAL NR. 0001\r\n");
  EXPECT_TRUE(bench.op.boxes.empty());
}

TEST(WindowAndReceipts, StopSignalsReachTheEventLoop) {
  int stops = 0;
  {
    gui::StopSignals stopSignals([&] { ++stops; });
    std::raise(SIGTERM);
    EXPECT_TRUE(RunUntil([&] { return stops == 1; }, 2000));
    std::raise(SIGINT);
    EXPECT_TRUE(RunUntil([&] { return stops == 2; }, 2000));
  }
  struct sigaction now {};
  sigaction(SIGTERM, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
}

TEST(WindowAndReceipts, AStopRequestWaitsForTheWorkInHandToEnd) {
  WindowBench bench;
  bench.window.Start();
  bench.driver.State().busy = true;
  bench.window.RequestClose();
  EXPECT_FALSE(bench.window.CloseDone());
  EXPECT_EQ(bench.Status("Stare"), "START PROCESARE");
  bench.driver.State().busy = false;
  EXPECT_TRUE(RunUntil([&] { return bench.window.CloseDone(); }, 3000));
  EXPECT_EQ(bench.Status("Stare"), "DRIVER INCHIS");
}

class WindowedExecutable : public e2e::DriverTest {
 protected:
  WindowedExecutable() : e2e::DriverTest(e2e::RigOptions{false, {}, {}, true}) {}
};

TEST_F(WindowedExecutable, AnswersAReceiptAndClosesCleanlyOnSigterm) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", ExampleSale()));
  const auto response = rig.AwaitResponse("ONLINE.TXT");
  ASSERT_TRUE(response.has_value()) << rig.DriverMessages();
  EXPECT_EQ(response->substr(0, 21), "0 OK\r\nBON FISCAL NR. ");
  EXPECT_EQ(rig.StopDriver(), 0) << rig.DriverMessages();
  EXPECT_EQ(rig.Status("Stare"), "DRIVER INCHIS");
  EXPECT_NE(rig.DriverMessages().find("DRIVER INCHIS"), std::string::npos);
}

}  // namespace
}  // namespace ruvo::testing
