// The ECR in trouble, end to end: faults injected through the simulator's control FIFO
// while the driver works. Every file gets an answer, the driver keeps running, and the
// sale the sales application sends again prints whole.
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "DriverRig.h"
#include "E2eFiles.h"

namespace ruvo::e2e {
namespace {

const std::vector<std::string> kTwoArticles = {"1;PAINE ALBA;BUC;1;1;250;100000",
                                               "1;LAPTE UHT;L;1;2;675;100000", "5;925;1"};
const std::string kPaperOut = "16;Eroare lipsa hartie \x96 inlocuiti rola de hartie";

using EcrFaultTest = DriverTest;

TEST_F(EcrFaultTest, PaperOutBeforeTheFileIsAnsweredAndTheSameFilePrintsOnceThePaperIsBack) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  ASSERT_TRUE(rig.Ecr().Control("paper-out"));
  const std::vector<std::string> refused = rig.Run("ONLINE.TXT", kTwoArticles);
  EXPECT_EQ(refused, (std::vector<std::string>{"1 ERROR", kPaperOut}));
  EXPECT_EQ(rig.Ecr().Paper(), "");
  EXPECT_TRUE(rig.DriverRunning());

  ASSERT_TRUE(rig.Ecr().Control("paper-out off"));
  EXPECT_EQ(rig.Run("ONLINE.TXT", kTwoArticles),
            (std::vector<std::string>{"0 OK", "BON FISCAL NR. 0001"}));
  const std::string paper = rig.Ecr().Paper();
  EXPECT_EQ(CountOf(paper, "PAINE ALBA"), 1) << paper;
  EXPECT_EQ(CountOf(paper, "LAPTE UHT"), 1) << paper;
}

TEST_F(EcrFaultTest, PaperOutInTheMiddleLeavesAReceiptThatTheNextFileCancelsFirst) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  // The first article prints, the second finds the paper gone.
  ASSERT_TRUE(rig.Ecr().Control("err 33021 16 once skip 1"));
  const std::vector<std::string> refused = rig.Run("ONLINE.TXT", kTwoArticles);
  EXPECT_EQ(refused, (std::vector<std::string>{"1 ERROR", kPaperOut}));
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "LAPTE UHT"), 0) << rig.Ecr().Paper();

  const std::vector<std::string> printed = rig.Run("ONLINE.TXT", kTwoArticles);
  ASSERT_EQ(printed.size(), 2u);
  EXPECT_EQ(printed[0], "0 OK");
  EXPECT_EQ(printed[1].rfind("BON FISCAL NR. ", 0), 0u) << printed[1];
  const std::string paper = rig.Ecr().Paper();
  const std::size_t cancelled = paper.find("BON ANULAT NR. 0001");
  ASSERT_NE(cancelled, std::string::npos) << paper;
  const std::size_t receipt = paper.find(printed[1], cancelled);
  ASSERT_NE(receipt, std::string::npos) << paper;
  EXPECT_EQ(CountOf(paper.substr(cancelled), "PAINE ALBA"), 1) << paper;
  EXPECT_EQ(CountOf(paper.substr(cancelled), "LAPTE UHT"), 1) << paper;
}

TEST_F(EcrFaultTest, AFileWaitsWhileTheEcrIsOffAndIsAnsweredOnceItIsBack) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  ASSERT_EQ(rig.Ecr().Stop(), 0);
  // A check already under way when the ECR went first waits out its 2-second answer time;
  // under the sanitizers, with other tests beside it, that takes longer still.
  ASSERT_TRUE(
      WaitUntil([&] { return rig.Status("ConectatLaCasa") == "NU"; }, DriverRig::kAnswerMs));
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText(kTwoArticles)));
  // Not refused for want of an ECR: it waits in the folder.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_TRUE(PathExists(rig.PathOf("ONLINE.TXT")));
  EXPECT_FALSE(PathExists(rig.PathOf("ERROR.TXT")));

  ASSERT_TRUE(rig.Ecr().Start()) << rig.Ecr().Messages();
  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
  ASSERT_TRUE(response) << rig.DriverMessages();
  EXPECT_EQ(*response, "0 OK\r\nBON FISCAL NR. 0001\r\n");
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "LAPTE UHT"), 1) << rig.Ecr().Paper();
}

TEST_F(EcrFaultTest, TheEcrVanishingMidAnswerIsAnsweredAndTheNextFilePrintsOnItsNewLine) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  // Slow answers, so that the receipt is still running when the device goes. The driver
  // then waits out its 5-second answer time-out: this test takes about 9 seconds.
  ASSERT_TRUE(rig.Ecr().Control("delay 100"));
  const std::string firstLine = rig.Ecr().LinkTarget();
  std::vector<std::string> longSale;
  for (int k = 1; k <= 6; ++k)
    longSale.push_back("1;ARTICOL " + std::to_string(k) + ";BUC;1;1;100;100000");
  longSale.push_back("5;600;1");
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText(longSale)));
  ASSERT_TRUE(WaitUntil([&] { return rig.Ecr().Paper().find("ARTICOL 1") != std::string::npos; },
                        DriverRig::kAnswerMs))
      << "the receipt never started printing\n"
      << ReadBytes(rig.PathOf("ERROR.TXT"));
  ASSERT_TRUE(rig.Ecr().Control("vanish"));
  // The answer comes after the link's 5-second time-out.
  const std::optional<std::string> failed = rig.AwaitResponse("ONLINE.TXT", 12000);
  ASSERT_TRUE(failed) << rig.DriverMessages();
  const std::vector<std::string> failedLines = ResponseLines(*failed);
  ASSERT_EQ(failedLines.size(), 2u) << *failed;
  EXPECT_EQ(failedLines[0], "1 ERROR");
  EXPECT_FALSE(failedLines[1].empty());
  EXPECT_TRUE(rig.DriverRunning());
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "ARTICOL 6"), 0);

  // The simulator is back on a fresh pseudo-terminal behind the same link.
  ASSERT_TRUE(rig.Ecr().Control("delay 0"));
  EXPECT_TRUE(WaitUntil([&] { return rig.Ecr().LinkTarget() != firstLine; }, DriverRig::kAnswerMs));
  const std::vector<std::string> printed = rig.Run("ONLINE.TXT", kTwoArticles);
  ASSERT_EQ(printed.size(), 2u) << ::testing::PrintToString(printed) << rig.DriverMessages();
  EXPECT_EQ(printed[0], "0 OK");
  EXPECT_EQ(printed[1].rfind("BON FISCAL NR. ", 0), 0u) << printed[1];
  // The half receipt the vanished device kept open was cancelled before the new one.
  const std::string paper = rig.Ecr().Paper();
  const std::size_t cancelled = paper.find("BON ANULAT NR. 0001");
  ASSERT_NE(cancelled, std::string::npos) << paper;
  EXPECT_NE(paper.find("LAPTE UHT", cancelled), std::string::npos) << paper;
  EXPECT_EQ(CountOf(paper, "LAPTE UHT"), 1) << paper;
}

}  // namespace
}  // namespace ruvo::e2e
