#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <csignal>

#include "GuiBench.h"
#include "app/ReceiptCycle.h"
#include "app/ReceiptFiles.h"
#include "console/gui/QtOperator.h"
#include "console/gui/WindowedDriver.h"
#include "e2e/DriverRig.h"
#include "execution/EcrReceiptExecution.h"
#include "platform/Files.h"

namespace ruvo::testing {
namespace {

std::string ExampleSale() {
  return ReadBytes(std::string(RUVO_SOURCE_DIR) + "/examples/ONLINE.TXT");
}

TEST(WindowAndReceipts, AFileDroppedWhileTheWindowIsOpenIsAnswered) {
  WindowBench bench;
  EcrReceiptExecution execution(bench.driver.Context());
  ReceiptFileCycle cycle(bench.driver.State(), bench.op, bench.clock, execution);
  ReceiptFilesOf<ReceiptFileCycle> files(cycle);
  bench.driver.SetReceiptFiles(files);
  // Virtual time stands still here: a file written in place must not wait for quiet.
  bench.WriteSettings("[Configurari]\r\nPauzaFisierScris=0\r\n");
  bench.window.Start();

  WriteBytes(bench.Path("ONLINE.TXT"), ExampleSale());
  ASSERT_TRUE(RunUntil([&] { return !FileExists(bench.Path("ONLINE.TXT")); }, 10000));
  EXPECT_EQ(ReadBytes(bench.Path("ERROR.TXT")), "0 OK\r\nBON FISCAL NR. 0001\r\n");
  EXPECT_TRUE(bench.op.boxes.empty());
}

TEST(WindowAndReceipts, StopSignalsReachTheEventLoop) {
  int stops = 0;
  {
    StopSignals stopSignals;
    QObject owner;
    gui::OnStopSignal(stopSignals, owner, [&] { ++stops; });
    std::raise(SIGTERM);
    EXPECT_TRUE(RunUntil([&] { return stops == 1; }, 2000));
    std::raise(SIGINT);
    EXPECT_TRUE(RunUntil([&] { return stops == 2; }, 2000));
  }
  // Given back as they were once the program no longer takes them.
  sigset_t blocked;
  sigprocmask(SIG_BLOCK, nullptr, &blocked);
  EXPECT_EQ(sigismember(&blocked, SIGTERM), 0);
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

// The window with the real dialogs behind the driver's questions.
TEST(WindowAndReceipts, TheStopQuestionIsTheRealBoxAndDaClosesTheDriver) {
  TempFolder folder;
  VirtualClock clock;
  gui::QtEventPump pump;
  gui::QtOperator op;
  xruvo_sim::Engine engine(clock);
  SimPortFactory ports(engine, clock);
  Driver driver(DriverContext{clock, pump, op, ports}, folder.Path());
  gui::TXR_MAIN window(driver, [] { return false; });
  window.Start();

  QString question;
  QString caption;
  WhenModal([&](QWidget* box) {
    question = box->findChild<QLabel*>("Text")->text();
    caption = box->windowTitle();
    QTest::keyClick(box, Qt::Key_Escape);
  });
  window.findChild<QAbstractButton*>("JetButton1")->click();
  EXPECT_EQ(question, "Sigur inchizi programul ?");
  EXPECT_EQ(caption, "Atentie");
  EXPECT_FALSE(window.CloseDone());

  WhenModal([](QWidget* box) { QTest::keyClick(box, Qt::Key_Return); });
  window.findChild<QAbstractButton*>("JetButton1")->click();
  EXPECT_TRUE(window.CloseDone());
  EXPECT_EQ(StatusValue(driver.StatusPath(), "Stare"), "DRIVER INCHIS");
}

// With "DialogMesajEroare=DA" the real error box comes up only once the answer is saved
// and the file is gone: the sales application never waits on the operator's click.
TEST(WindowAndReceipts, TheErrorBoxComesAfterTheAnswerIsSaved) {
  TempFolder folder;
  VirtualClock clock;
  gui::QtEventPump pump;
  gui::QtOperator op;
  xruvo_sim::Engine engine(clock);
  SimPortFactory ports(engine, clock);
  Driver driver(DriverContext{clock, pump, op, ports}, folder.Path());
  EcrReceiptExecution execution(driver.Context());
  ReceiptFileCycle cycle(driver.State(), op, clock, execution);
  ReceiptFilesOf<ReceiptFileCycle> files(cycle);
  driver.SetReceiptFiles(files);
  WriteBytes(driver.SettingsPath(),
             "[Configurari]\r\nPauzaFisierScris=0\r\nDialogMesajEroare=DA\r\n");
  gui::TXR_MAIN window(driver, [] { return false; });
  window.Start();

  const std::string response = JoinPath(folder.Path(), "ERROR.TXT");
  const std::string receipt = JoinPath(folder.Path(), "ONLINE.TXT");
  std::string seenAnswer = "(no box)";
  bool receiptThere = true;
  QString caption;
  WhenModal([&](QWidget* box) {
    seenAnswer = FileExists(response) ? ReadBytes(response) : "(no answer yet)";
    receiptThere = FileExists(receipt);
    caption = box->windowTitle();
    QTest::keyClick(box, Qt::Key_Return);
  });
  WriteBytes(receipt, "1;PAINE;BUC;1;1;2.50;100000\r\n5;250;1\r\n");
  ASSERT_TRUE(RunUntil([&] { return seenAnswer != "(no box)"; }, 10000));
  EXPECT_EQ(caption, "Eroare");
  EXPECT_EQ(seenAnswer.substr(0, 14), "1 ERROR\r\n8011;") << seenAnswer;
  EXPECT_FALSE(receiptThere);
  window.RequestClose();
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
