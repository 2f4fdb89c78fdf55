#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTest>

#include "GuiBench.h"

namespace ruvo::testing {
namespace {

TEST(MainWindow, ShowsTheDriverAsItStarts) {
  WindowBench bench;
  bench.window.Start();
  EXPECT_EQ(bench.window.windowTitle(), "Ruvo_Drv vers.2.3.3");
  EXPECT_EQ(bench.window.objectName(), "TXR_MAIN");
  EXPECT_EQ(bench.window.minimumSize(), bench.window.maximumSize());
  EXPECT_EQ(bench.Find<QAbstractButton>("Bstare")->text(), "Stop procesare");
  EXPECT_EQ(bench.Find<QAbstractButton>("BConfig2")->text(), "&Configurari");
  EXPECT_EQ(bench.Find<QAbstractButton>("Biesire")->text(), "I&esire");
  EXPECT_EQ(bench.Find<QAbstractButton>("JetButton1")->text(), "&Stop program");
  auto* label = bench.Find<QLabel>("LComunicatie");
  EXPECT_EQ(label->text(), "Conectat la casa : COM 1");
  EXPECT_NE(label->styleSheet().indexOf("green"), -1);
  EXPECT_TRUE(bench.Shown("PInfo"));
  EXPECT_FALSE(bench.Shown("PConfig"));
  EXPECT_FALSE(bench.Shown("RRata"));
  EXPECT_FALSE(bench.Find<QWidget>("RGErAnulare")->isEnabled());
  auto* warnings = bench.Find<QPlainTextEdit>("Malarma");
  EXPECT_TRUE(warnings->isReadOnly());
  EXPECT_EQ(warnings->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_EQ(warnings->palette().color(QPalette::Text), QColor(Qt::red));

  bench.SetEcrSilent(true);
  bench.driver.CheckConnection();
  EXPECT_EQ(label->text(), "Neconectat la casa");
  EXPECT_NE(label->styleSheet().indexOf("red"), -1);
}

TEST(MainWindow, StartAndStopLockAndUnlockThePanelsAndTellTheStatusFile) {
  WindowBench bench;
  bench.window.Start();
  auto* start = bench.Find<QAbstractButton>("Bstare");
  auto* manual = bench.Find<QWidget>("PInfo");
  auto* settings = bench.Find<QAbstractButton>("BConfig2");
  EXPECT_FALSE(manual->isEnabled());
  EXPECT_FALSE(settings->isEnabled());
  EXPECT_TRUE(bench.Shown("I1"));
  EXPECT_FALSE(bench.Shown("I2"));

  start->click();
  EXPECT_EQ(bench.Status("Stare"), "STOP PROCESARE");
  EXPECT_EQ(start->text(), "Start procesare");
  EXPECT_TRUE(manual->isEnabled());
  EXPECT_TRUE(settings->isEnabled());
  EXPECT_FALSE(bench.Shown("I1"));
  EXPECT_TRUE(bench.Shown("I2"));
  for (const gui::ManualButton& button : gui::kManualButtons) {
    EXPECT_TRUE(bench.Find<QWidget>(button.name)->isEnabled()) << button.name;
  }

  settings->click();
  EXPECT_TRUE(bench.Shown("PConfig"));
  EXPECT_FALSE(bench.Shown("PInfo"));

  start->click();
  EXPECT_EQ(bench.Status("Stare"), "START PROCESARE");
  EXPECT_EQ(start->text(), "Stop procesare");
  EXPECT_FALSE(manual->isEnabled());
  EXPECT_FALSE(settings->isEnabled());
  EXPECT_FALSE(bench.Shown("PConfig"));
  EXPECT_TRUE(bench.Shown("PInfo"));
  // A disabled settings button does nothing.
  settings->click();
  EXPECT_FALSE(bench.Shown("PConfig"));
}

TEST(MainWindow, TheSettingsPanelSavesItsNineKeysAndKeepsEveryOtherByte) {
  WindowBench bench;
  const std::string handWritten =
      "; the shop's own notes\r\n"
      "[Porturi]\r\nCOM3=/dev/ttyUSB0\r\n"
      "[Configurari]\r\n"
      "Port=1\r\nBaudRate=0\r\nModTaiere=0\r\nLiniiAvans=0\r\n"
      "LogFile = DA \r\nDelay=250\r\n"
      "TratareEroareStare=0\r\nTratareBonInDerulare=0\r\nTratareFormaPlata=0\r\n"
      "CodFormaPlata=1\r\nSintaxa=0\r\nMarjaZileStergere=30\r\n"
      "[Altceva]\nCheie=valoare\n";
  bench.WriteSettings(handWritten);
  bench.window.Start();
  bench.Click("Bstare");
  bench.Click("BConfig2");

  bench.Find<QComboBox>("CPORT")->setCurrentIndex(2);
  bench.Item("RG", 1)->click();
  bench.Find<QSpinBox>("LiniiAvans")->setValue(4);
  bench.Find<QComboBox>("CSintaxa")->setCurrentIndex(1);
  bench.Item("RGErImpr", 1)->click();
  bench.Find<QSpinBox>("SForma")->setValue(6);
  bench.Item("RGErModPlata", 1)->click();
  // The lists take no typing: a letter picks nothing.
  QTest::keyClick(bench.Find<QComboBox>("CSintaxa"), Qt::Key_R);
  bench.Click("Bstare");

  const std::string expected =
      "; the shop's own notes\r\n"
      "[Porturi]\r\nCOM3=/dev/ttyUSB0\r\n"
      "[Configurari]\r\n"
      "Port=3\r\nBaudRate=0\r\nModTaiere=1\r\nLiniiAvans=4\r\n"
      "LogFile = DA \r\nDelay=250\r\n"
      "TratareEroareStare=1\r\nTratareBonInDerulare=2\r\nTratareFormaPlata=1\r\n"
      "CodFormaPlata=6\r\nSintaxa=1\r\nMarjaZileStergere=30\r\n"
      "[Altceva]\nCheie=valoare\n";
  EXPECT_EQ(ReadBytes(bench.driver.SettingsPath()), expected);
  // Started again, the panel shows what the file says.
  EXPECT_EQ(bench.Find<QComboBox>("CPORT")->currentText(), " 3");
  EXPECT_TRUE(bench.Item("RGErAnulare", 2)->isChecked());
}

TEST(MainWindow, StartWithoutOpeningTheSettingsLeavesTheFileAlone) {
  WindowBench bench;
  const std::string handWritten = "[Configurari]\r\nPort = 1\r\nTratareBonInDerulare=0\r\n";
  bench.WriteSettings(handWritten);
  bench.window.Start();
  bench.Click("Bstare");
  bench.Click("Bstare");
  EXPECT_EQ(ReadBytes(bench.driver.SettingsPath()), handWritten);
}

TEST(MainWindow, PaymentFormFieldFollowsTheFirstItemOfItsGroup) {
  WindowBench bench;
  bench.WriteSettings("[Configurari]\r\nTratareFormaPlata=1\r\nPort=0\r\n");
  bench.window.Start();
  EXPECT_FALSE(bench.Shown("SForma"));
  EXPECT_EQ(bench.Find<QComboBox>("CPORT")->currentIndex(), -1);
  bench.Click("Bstare");
  bench.Click("BConfig2");
  bench.Item("RGErModPlata", 0)->click();
  EXPECT_TRUE(bench.Shown("SForma"));
  EXPECT_EQ(bench.driver.State().settings.tratareFormaPlata, 0);
  bench.Item("RGErModPlata", 1)->click();
  EXPECT_FALSE(bench.Shown("SForma"));
}

TEST(MainWindow, CloseBoxPutsTheWindowAwayWithoutEndingTheDriver) {
  {
    WindowBench withTray(true);
    withTray.window.Start();
    EXPECT_FALSE(withTray.window.isVisible()) << "starts hidden in the tray";
    ASSERT_NE(withTray.window.TrayIcon(), nullptr);
    EXPECT_EQ(withTray.window.TrayIcon()->toolTip(), "Ruvo_Drv vers.2.3.3");
    EXPECT_FALSE(withTray.window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint))
        << "with a tray the window goes there, not onto the task bar";
    withTray.window.show();
    withTray.window.close();
    EXPECT_FALSE(withTray.window.isVisible());
    EXPECT_FALSE(withTray.driver.Closed());

    // A right click hides a shown window; on a hidden one it opens the menu.
    withTray.window.show();
    emit withTray.window.TrayIcon()->activated(QSystemTrayIcon::Context);
    EXPECT_FALSE(withTray.window.isVisible());
    EXPECT_FALSE(withTray.window.MessPopup()->isVisible());
    emit withTray.window.TrayIcon()->activated(QSystemTrayIcon::Context);
    EXPECT_TRUE(withTray.window.MessPopup()->isVisible());
    withTray.window.MessPopup()->close();
    EXPECT_FALSE(withTray.window.isVisible());
  }
  {
    WindowBench noTray(false);
    noTray.window.Start();
    EXPECT_TRUE(noTray.window.isVisible()) << "no tray: the window is the way in";
    EXPECT_EQ(noTray.window.TrayIcon(), nullptr);
    EXPECT_TRUE(noTray.window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    noTray.window.close();
    EXPECT_TRUE(noTray.window.isVisible());
    EXPECT_TRUE(noTray.window.isMinimized());
    noTray.Click("Biesire");
    EXPECT_TRUE(noTray.window.isVisible());
    EXPECT_FALSE(noTray.driver.Closed());
    EXPECT_EQ(noTray.Status("Stare"), "START PROCESARE");
  }
}

TEST(MainWindow, FollowsTheTrayAppearingAndGoing) {
  WindowBench bench(false);
  bench.window.Start();
  bench.trayShown = true;
  bench.window.FollowTray();
  ASSERT_NE(bench.window.TrayIcon(), nullptr);
  bench.Click("Biesire");
  EXPECT_FALSE(bench.window.isVisible());
  bench.trayShown = false;
  bench.window.FollowTray();
  EXPECT_EQ(bench.window.TrayIcon(), nullptr);
  EXPECT_TRUE(bench.window.isVisible());
}

TEST(MainWindow, StopProgramAnsweredNoKeepsTheRetryTimerAsItWas) {
  WindowBench bench;
  bench.window.Start();
  bench.op.answer = MsgResult::No;
  bench.Click("JetButton1");
  ASSERT_EQ(bench.op.boxes.size(), 1u);
  EXPECT_EQ(bench.op.boxes[0].text, "Sigur inchizi programul ?");
  EXPECT_EQ(bench.op.boxes[0].caption, "Atentie");
  EXPECT_EQ(bench.op.boxes[0].kind, MsgKind::Confirmation);
  EXPECT_EQ(bench.op.boxes[0].buttons, MsgButtons::YesNo);
  EXPECT_FALSE(bench.driver.State().checkComEnabled);

  bench.SetEcrSilent(true);
  bench.Tick();
  ASSERT_TRUE(bench.driver.State().checkComEnabled);
  bench.Click("JetButton1");
  EXPECT_TRUE(bench.driver.State().checkComEnabled);
  EXPECT_FALSE(bench.window.CloseDone());
  EXPECT_NE(bench.Status("Stare"), "DRIVER INCHIS");
}

TEST(MainWindow, StopProgramAnsweredYesRunsTheCloseSequence) {
  WindowBench bench(true);
  bench.WriteSettings("[Configurari]\r\nPort=2\r\nDelay=7\r\n");
  bench.window.Start();
  bench.op.answer = MsgResult::Yes;
  bool closedSignal = false;
  QObject::connect(&bench.window, &gui::TXR_MAIN::Closed, [&] { closedSignal = true; });
  bench.Click("JetButton1");
  EXPECT_TRUE(closedSignal);
  EXPECT_TRUE(bench.window.CloseDone());
  EXPECT_EQ(bench.window.TrayIcon(), nullptr);
  EXPECT_EQ(bench.Status("Stare"), "DRIVER INCHIS");
  EXPECT_EQ(ReadBytes(bench.driver.SettingsPath()),
            "[Configurari]\r\nPort=2\r\nDelay=7\r\nBaudRate=0\r\nModTaiere=0\r\nLiniiAvans=0\r\n"
            "TratareEroareStare=0\r\nTratareBonInDerulare=2\r\nTratareFormaPlata=0\r\n"
            "CodFormaPlata=1\r\nSintaxa=0\r\n");
}

TEST(MainWindow, PopupMenuFollowsTheProcessingState) {
  WindowBench bench(true);
  bench.window.Start();
  const QList<QAction*> entries = bench.window.MessPopup()->actions();
  ASSERT_EQ(entries.size(), 3);
  EXPECT_EQ(bench.window.MessPopup()->objectName(), "MessPopup");
  EXPECT_EQ(entries[0]->text(), "Configurari");
  EXPECT_EQ(entries[2]->text(), "Stop program");
  EXPECT_FALSE(entries[0]->isEnabled());
  EXPECT_EQ(entries[1]->text(), "Stop procesare");

  entries[1]->trigger();
  EXPECT_EQ(bench.Status("Stare"), "STOP PROCESARE");
  EXPECT_EQ(entries[1]->text(), "Start procesare");
  EXPECT_TRUE(entries[0]->isEnabled());

  entries[0]->trigger();
  EXPECT_TRUE(bench.window.isVisible());
  EXPECT_TRUE(bench.Shown("PConfig"));

  entries[2]->trigger();
  EXPECT_TRUE(bench.op.boxes.empty()) << "the menu closes without asking";
  EXPECT_TRUE(bench.window.CloseDone());
  EXPECT_EQ(bench.Status("Stare"), "DRIVER INCHIS");
}

TEST(MainWindow, WarningsShowInTheBoxAndBringAHiddenWindowUp) {
  WindowBench bench(true);
  bench.window.Start();
  ASSERT_FALSE(bench.window.isVisible());
  bench.driver.State().warningBox = {"Atentie ! Se termina hartia !"};
  bench.driver.State().windowVisible = true;
  bench.window.StateChanged();
  EXPECT_TRUE(bench.window.isVisible());
  EXPECT_EQ(bench.Find<QPlainTextEdit>("Malarma")->toPlainText(), "Atentie ! Se termina hartia !");
}

TEST(MainWindow, ManualButtonsSpeakOnlyWhileProcessingIsStoppedAndDropRepeatedReportClicks) {
  WindowBench bench;
  bench.window.Start();
  bench.window.RunManualOperation(gui::ManualOperation::ZReport);
  EXPECT_EQ(bench.CommandsReceived("2002"), 0) << "processing runs: no manual operation";

  bench.Click("Bstare");
  bench.Click("BRaportZilnic");
  bench.Click("BRaportZilnic");
  EXPECT_EQ(bench.CommandsReceived("2002"), 1) << "a click right after the report is dropped";
  bench.Click("BRaportX");
  EXPECT_EQ(bench.CommandsReceived("2003"), 1) << "other buttons are not held";
  bench.clock.Advance(500);
  bench.Click("BRaportZilnic");
  EXPECT_EQ(bench.CommandsReceived("2002"), 2);
  EXPECT_TRUE(bench.op.boxes.empty());
  // No receipt is open, so each cancel is refused with its message.
  bench.Click("BanulareBon");
  bench.Click("BanulareBon");
  EXPECT_EQ(bench.op.boxes.size(), 2u) << "only the Z and X reports hold their button";
}

TEST(MainWindow, ClicksDuringABusyDriverStartNothing) {
  WindowBench bench;
  bench.window.Start();
  bench.Click("Bstare");
  bench.driver.State().busy = true;
  bench.Click("BRaportX");
  bench.Click("Bstare");
  bench.Click("JetButton1");
  EXPECT_TRUE(bench.op.boxes.empty());
  EXPECT_EQ(bench.Status("Stare"), "STOP PROCESARE");
  bench.driver.State().busy = false;
}

}  // namespace
}  // namespace ruvo::testing
