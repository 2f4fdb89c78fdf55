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
#include <string>

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

// The recording operator, and what happens while a Yes/No question is up: a tick that
// falls due under it runs inside the question's own event loop.
class QuestionOperator final : public IOperator {
 public:
  explicit QuestionOperator(RecordingOperator& inner) : inner_(inner) {}
  MsgResult RomMessageDlg(const std::string& text, const std::string& caption, MsgKind kind,
                          MsgButtons buttons) override {
    if (buttons == MsgButtons::YesNo && underQuestion) {
      const std::function<void()> run = std::move(underQuestion);
      underQuestion = nullptr;
      run();
    }
    return inner_.RomMessageDlg(text, caption, kind, buttons);
  }
  void ShowDefaultError(const std::string& text) override { inner_.ShowDefaultError(text); }
  bool AskPaymentForm(int& form) override { return inner_.AskPaymentForm(form); }
  void Beep() override { inner_.Beep(); }

  std::function<void()> underQuestion;

 private:
  RecordingOperator& inner_;
};

// The window on a driver whose waits pump through a script, with the real receipt cycle.
struct PumpedWindow {
  explicit PumpedWindow(xruvo_sim::SimConfig config = {})
      : engine(clock, nullptr, std::move(config)),
        ports(engine, clock),
        driver(DriverContext{clock, pump, questions, ports}, folder.Path()),
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
  QuestionOperator questions{op};
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

// "Stop program" answered No while a processing tick's connection check waits, under the
// question, for a silent ECR: the question cannot end before the check does, and a second
// click on "Stop program" meanwhile is kept and asked again, never dropped.
TEST(ClicksDuringWork, StopProgramClickedAfterNoWhileACheckRunsUnderTheQuestionIsAskedAgain) {
  for (const std::int64_t offset : {200, 1'500}) {
    SCOPED_TRACE("clicked " + std::to_string(offset) + " ms after No");
    PumpedWindow bench;
    ASSERT_TRUE(bench.driver.State().connected);
    bench.engine.Faults().silentAlways = true;
    bench.op.boxes.clear();
    QString noticeAfterClick;
    bench.questions.underQuestion = [&] {
      // The operator answers No as the check begins (the recording operator answers when
      // the question's loop gives back), and clicks again a moment later.
      const std::int64_t start = bench.clock.MonotonicMs();
      bench.pump.At(start + offset, [&] {
        bench.Click("JetButton1");
        noticeAfterClick = bench.window.Notice();
      });
      bench.window.Tick();
      EXPECT_TRUE(bench.pump.AllDone()) << "clicked while the check waited";
    };
    bench.Click("JetButton1");
    EXPECT_EQ(noticeAfterClick, "In asteptare: Stop program");
    bench.Settle();
    ASSERT_EQ(bench.op.boxes.size(), 2u) << "asked again once the check had ended";
    EXPECT_EQ(bench.op.boxes[1].text, "Sigur inchizi programul ?");
    EXPECT_FALSE(bench.window.CloseDone());
    EXPECT_EQ(bench.window.Notice(), "");
    bench.op.answer = MsgResult::Yes;
    bench.Click("JetButton1");
    EXPECT_TRUE(bench.window.CloseDone()) << "the next Yes closes";
  }
}

// Each refusal keeps the notice for its whole time, also when it follows another one; the
// window counts in the driver's time. The running operation and its time are shown above.
TEST(ClicksDuringWork, ARunningReportIsShownWithItsTimeAndEachRefusalGetsItsWholeTime) {
  PumpedWindow bench(Printing(30'000));
  bench.Click("Bstare");
  ASSERT_FALSE(bench.driver.State().processing);
  EXPECT_EQ(bench.window.RunningText(), "");
  auto* running = bench.window.findChild<QLabel*>("LOperatie");
  ASSERT_NE(running, nullptr);
  EXPECT_TRUE(running->isHidden());

  const std::int64_t start = bench.clock.MonotonicMs();
  constexpr std::int64_t kShown = gui::TXR_MAIN::kRefusalShownMs;
  const QString refusal = "O operatie este in curs: Raport zilnic";
  std::vector<std::pair<std::int64_t, QString>> notices;
  std::vector<QString> runningTexts;
  bool labelFollowed = false;
  auto noteAt = [&](std::int64_t at) {
    bench.pump.At(start + at, [&, at] { notices.emplace_back(at, bench.window.Notice()); });
  };
  bench.pump.At(start + 1'000, [&] { bench.Click("BRaportX"); });
  bench.pump.At(start + 1'000 + kShown - 700, [&] { bench.Click("BRaportX"); });
  noteAt(1'000 + kShown + 100);            // the first one's time is up, not the second's
  noteAt(1'000 + 2 * kShown - 800);        // the second's time is nearly up
  noteAt(1'000 + 2 * kShown - 700 + 100);  // and is up
  bench.pump.At(start + 12'300, [&] {
    runningTexts.push_back(bench.window.RunningText());
    // The label follows within a second of the window's own time.
    labelFollowed = RunUntil([&] { return running->text() == bench.window.RunningText(); }, 2'000);
    labelFollowed = labelFollowed && !running->isHidden();
  });
  bench.pump.At(start + 25'000, [&] { runningTexts.push_back(bench.window.RunningText()); });
  bench.Click("BRaportZilnic");

  ASSERT_EQ(notices.size(), 3u);
  EXPECT_EQ(notices[0].second, refusal);
  EXPECT_EQ(notices[1].second, refusal);
  EXPECT_EQ(notices[2].second, "");
  ASSERT_EQ(runningTexts.size(), 2u);
  EXPECT_EQ(runningTexts[0], "In curs: Raport zilnic, 0:12");
  EXPECT_EQ(runningTexts[1], "In curs: Raport zilnic, 0:25");
  EXPECT_TRUE(labelFollowed);
  EXPECT_EQ(bench.Received("2003"), 0);
  EXPECT_EQ(bench.window.RunningText(), "") << "the report has ended";
  bench.window.StateChanged();
  EXPECT_TRUE(running->isHidden());
}

// The report dialog while its own report prints: only "Stop raport" (and Escape) can be
// used; "Start raport" and "Iesire" look disabled and come back after the report.
TEST(ClicksDuringWork, TheReportDialogHoldsItsButtonsWhileItsReportPrints) {
  PumpedWindow bench(Printing(30'000));
  bench.Click("Bstare");
  struct Seen {
    bool start = true;
    bool exit = true;
    bool stop = false;
    QString running;
  } during;
  bool after = false;
  bench.pump.At(bench.clock.MonotonicMs() + 3'000, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    ASSERT_NE(dialog, nullptr);
    during.start = dialog->findChild<QPushButton*>("BStart")->isEnabled();
    during.exit = dialog->findChild<QPushButton*>("BitBtn1")->isEnabled();
    during.stop = dialog->findChild<QPushButton*>("BStop")->isEnabled();
    during.running = bench.window.RunningText();
    // Enter while the report prints presses nothing: the default button is disabled and
    // the focus is on no other button.
    QWidget* focus = dialog->focusWidget() != nullptr ? dialog->focusWidget() : dialog;
    EXPECT_EQ(qobject_cast<QPushButton*>(focus), nullptr);
    QTest::keyClick(focus, Qt::Key_Return);
    dialog->findChild<QPushButton*>("BitBtn1")->click();
    dialog->findChild<QPushButton*>("BStart")->click();
  });
  WhenModal([&](QWidget* dialog) {
    dialog->findChild<QLineEdit*>("ENrStart")->setText("1");
    dialog->findChild<QLineEdit*>("ENrEnd")->setText("1");
    QTest::keyClick(dialog->findChild<QLineEdit*>("ENrEnd"), Qt::Key_Return);
    after = dialog->isVisible() && dialog->findChild<QPushButton*>("BStart")->isEnabled() &&
            dialog->findChild<QPushButton*>("BitBtn1")->isEnabled();
    dialog->findChild<QPushButton*>("BitBtn1")->click();
  });
  bench.Click("BRaportMFZ");
  EXPECT_FALSE(during.start);
  EXPECT_FALSE(during.exit);
  EXPECT_TRUE(during.stop);
  EXPECT_EQ(during.running, "In curs: Raport MF/JE, 0:03");
  EXPECT_TRUE(after) << "usable again, and the dialog still open, after the report";
  EXPECT_EQ(bench.Received("5001"), 1) << "one report";
  EXPECT_EQ(bench.Received("5005"), 0) << "nothing stopped it";
}

}  // namespace
}  // namespace ruvo::testing
