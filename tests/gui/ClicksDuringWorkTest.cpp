// Clicks made while the driver works: after a receipt's answer (during the pause after the
// file), while the connection retry waits for a silent ECR, and during a report. Each is
// acted on when the work ends, or refused in the window's notice; none starts ECR work under
// running work. Virtual time: the clicks arrive through the event pump of the waits.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <optional>

#include "GuiBench.h"
#include "app/ReceiptCycle.h"
#include "app/ReceiptFiles.h"
#include "console/ControlCommands.h"
#include "execution/EcrReceiptExecution.h"
#include "platform/Files.h"
#include "support/ScriptedPump.h"

namespace ruvo::testing {
namespace {

constexpr std::int64_t kStep = 100;

std::string ExampleSale() {
  return ReadBytes(std::string(RUVO_SOURCE_DIR) + "/examples/ONLINE.TXT");
}

xruvo_sim::SimConfig Printing(std::int64_t reportMs) {
  xruvo_sim::SimConfig config;
  config.reportMs = reportMs;
  return config;
}

// The window on a driver whose waits pump through a script, with the real receipt cycle.
struct PumpedWindow {
  explicit PumpedWindow(xruvo_sim::SimConfig config = {})
      : engine(clock, nullptr, std::move(config)),
        ports(engine, clock),
        driver(DriverContext{clock, pump, op, ports}, folder.Path()),
        execution(driver.Context()),
        cycle(driver.State(), op, clock, execution),
        files(cycle),
        window(driver, [] { return false; }) {
    // Files are dropped whole here: no quiet time for a writer in place.
    WriteBytes(driver.SettingsPath(), "[Configurari]\r\nPort=1\r\nPauzaFisierScris=0\r\n");
    cycle.ServeDuringPauses(pump);
    driver.SetReceiptFiles(files);
    driver.Start();
  }
  void Click(const char* name) { window.findChild<QAbstractButton*>(name)->click(); }
  // What the window runs once the work has ended (its queued calls).
  void Settle() {
    RunUntil([] { return false; }, 30);
  }
  std::string Path(const std::string& name) const { return folder / name; }
  int Received(const std::string& prefix) const {
    int count = 0;
    for (const std::string& text : engine.ReceivedCommands()) count += text.rfind(prefix, 0) == 0;
    return count;
  }

  TempFolder folder;
  VirtualClock clock;
  ScriptedPump pump{clock, static_cast<int>(kStep)};
  RecordingOperator op;
  xruvo_sim::Engine engine;
  SimPortFactory ports;
  Driver driver;
  EcrReceiptExecution execution;
  ReceiptFileCycle cycle;
  ReceiptFilesOf<ReceiptFileCycle> files;
  gui::TXR_MAIN window;
};

TEST(ClicksDuringWork, StopProcessingClickedAfterAnAnswerIsActedOnAtEveryMoment) {
  for (std::int64_t offset = 0; offset <= 1500; offset += kStep) {
    SCOPED_TRACE("click " + std::to_string(offset) + " ms after the answer");
    PumpedWindow bench;
    WriteBytes(bench.Path("ONLINE.TXT"), ExampleSale());
    std::optional<std::int64_t> answeredAt;
    bool clicked = false;
    QString noticeAfterClick;
    std::function<void()> watch = [&] {
      if (!answeredAt && FileExists(bench.Path("ERROR.TXT")))
        answeredAt = bench.clock.MonotonicMs();
      if (answeredAt && !clicked && bench.clock.MonotonicMs() >= *answeredAt + offset) {
        clicked = true;
        bench.Click("Bstare");
        noticeAfterClick = bench.window.Notice();
      }
      bench.pump.At(bench.clock.MonotonicMs() + 1, watch);
    };
    bench.pump.At(0, watch);
    bench.window.Tick();
    ASSERT_TRUE(answeredAt.has_value());
    if (clicked) {
      EXPECT_EQ(noticeAfterClick, "In asteptare: Stop procesare");
    } else {
      // The pause was over before the click: the driver is idle and takes it at once.
      bench.clock.Advance(*answeredAt + offset - bench.clock.MonotonicMs());
      bench.Click("Bstare");
    }
    bench.Settle();
    EXPECT_FALSE(bench.driver.State().processing);
    EXPECT_EQ(bench.window.Notice(), "");
    EXPECT_EQ(bench.Received("3011"), 1) << "one receipt, printed once";
  }
}

TEST(ClicksDuringWork, WithTheEcrSilentTheConnectionCheckKeepsEveryClick) {
  for (const char* button : {"Bstare", "JetButton1"}) {
    for (std::int64_t offset = 0; offset <= 2000; offset += kStep) {
      SCOPED_TRACE(std::string(button) + " clicked " + std::to_string(offset) +
                   " ms into the check");
      PumpedWindow bench;
      bench.engine.Faults().silentAlways = true;
      bench.op.boxes.clear();
      const std::int64_t start = bench.clock.MonotonicMs();
      bool clickedWhileBusy = false;
      bench.pump.At(start + offset, [&] {
        clickedWhileBusy = bench.driver.State().busy;
        bench.Click(button);
      });
      bench.window.Tick();  // the idle check finds the ECR silent and waits for it
      ASSERT_TRUE(bench.pump.AllDone());
      EXPECT_TRUE(clickedWhileBusy);
      bench.Settle();
      if (std::string(button) == "Bstare") {
        EXPECT_FALSE(bench.driver.State().processing);
      } else {
        ASSERT_EQ(bench.op.boxes.size(), 1u);
        EXPECT_EQ(bench.op.boxes[0].text, "Sigur inchizi programul ?");
        EXPECT_FALSE(bench.window.CloseDone()) << "answered No";
      }
      EXPECT_EQ(bench.window.Notice(), "");
    }
  }
}

TEST(ClicksDuringWork, AnOperationButtonDuringAReportIsRefusedInTheNotice) {
  PumpedWindow bench(Printing(30'000));
  bench.Click("Bstare");
  ASSERT_FALSE(bench.driver.State().processing);
  QString notice;
  const std::int64_t start = bench.clock.MonotonicMs();
  bench.pump.At(start + 3'000, [&] {
    bench.Click("BRaportX");
    bench.Click("BRaportZilnic");
    notice = bench.window.Notice();
  });
  bench.Click("BRaportZilnic");
  EXPECT_EQ(notice, "O operatie este in curs: Raport zilnic");
  EXPECT_EQ(bench.Received("2002"), 1);
  EXPECT_EQ(bench.Received("2003"), 0);
  EXPECT_EQ(bench.engine.GetDevice().LastZNumber(), 1);
  auto* label = bench.window.findChild<QLabel*>("LAsteptare");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), notice);
}

// A Z report asked over the control socket: during the pause after it the window's buttons
// start nothing inside its run; the processing button is kept and acted on after it.
TEST(ClicksDuringWork, ClicksDuringThePauseAfterAControlReportWaitForItsEnd) {
  PumpedWindow bench(Printing(3'000));
  bench.Click("Bstare");
  ASSERT_FALSE(bench.driver.State().processing);
  bool sawReport = false;
  bool clicked = false;
  std::function<void()> watch = [&] {
    const bool running = bench.driver.State().operation.Active();
    sawReport = sawReport || running;
    if (!sawReport || running) {
      bench.pump.At(bench.clock.MonotonicMs() + 1, watch);
      return;
    }
    bench.Click("BRaportX");
    bench.Click("Bstare");
    clicked = true;
  };
  bench.pump.At(bench.clock.MonotonicMs(), watch);
  EXPECT_TRUE(RunControlCommand(bench.driver, {"z-report"}).ok);
  ASSERT_TRUE(clicked) << "no pause after the report";
  EXPECT_EQ(bench.Received("2003"), 0) << "no X report inside the Z's run";
  EXPECT_FALSE(bench.driver.State().processing);
  bench.Settle();
  EXPECT_TRUE(bench.driver.State().processing) << "the kept click, once the report has ended";
  EXPECT_EQ(bench.Received("2003"), 0) << "an operation click is refused, never kept";
}

// "Stop raport" and Escape of the report dialog while its report prints: the stop goes on
// the report's link, and the report ends interrupted.
TEST(ClicksDuringWork, StopRaportAndEscapeStopThePrintingReport) {
  for (const bool escape : {false, true}) {
    SCOPED_TRACE(escape ? "Escape" : "Stop raport");
    PumpedWindow bench(Printing(30'000));
    bench.Click("Bstare");
    const int portsBefore = bench.ports.made;
    bench.pump.At(bench.clock.MonotonicMs() + 3'000, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      ASSERT_NE(dialog, nullptr);
      if (escape) {
        QTest::keyClick(dialog, Qt::Key_Escape);
      } else {
        dialog->findChild<QPushButton*>("BStop")->click();
      }
    });
    bool seen = false;
    WhenModal([&](QWidget* dialog) {
      seen = true;
      dialog->findChild<QLineEdit*>("ENrStart")->setText("1");
      dialog->findChild<QLineEdit*>("ENrEnd")->setText("1");
      dialog->findChild<QPushButton*>("BStart")->click();
      dialog->findChild<QPushButton*>("BitBtn1")->click();
    });
    bench.Click("BRaportMFZ");
    ASSERT_TRUE(seen);
    EXPECT_TRUE(bench.pump.AllDone());
    EXPECT_EQ(bench.Received("5005"), 1);
    EXPECT_EQ(bench.ports.made - portsBefore, 1) << "no port of its own for the stop";
    EXPECT_NE(bench.engine.GetPaper().Text().find("RAPORT INTRERUPT"), std::string::npos);
    ASSERT_FALSE(bench.op.boxes.empty());
    EXPECT_EQ(bench.op.boxes.back().text,
              "Eroare la efectuarea raportului !\r26;Operatie intrerupta de utilizator");
  }
}

}  // namespace
}  // namespace ruvo::testing
