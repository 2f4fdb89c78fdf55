#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "GuiBench.h"
#include "console/gui/LogoUploadWindow.h"
#include "console/gui/TEExportXML.h"
#include "console/gui/TEInOutSume.h"
#include "console/gui/TEMfReport.h"
#include "console/gui/TProgressbar.h"
#include "console/gui/WinText.h"

namespace ruvo::testing {
namespace {

// A dialog of a manual operation on the window's driver, with the simulated ECR behind it.
struct DialogBench : WindowBench {
  DialogBench() { driver.LoadSettings(); }
  ConsoleContext Context() { return ConsoleContext{driver.Context(), driver.State()}; }

  template <class T = QWidget>
  static T* In(QWidget& dialog, const char* name) {
    T* found = dialog.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  static QStringList Items(QWidget& dialog, const char* group) {
    QStringList texts;
    for (auto* item : In(dialog, group)->findChildren<QRadioButton*>()) texts << item->text();
    return texts;
  }
  static QRadioButton* Item(QWidget& dialog, const char* group, int index) {
    return In(dialog, group)->findChildren<QRadioButton*>().value(index);
  }
  static void Press(QWidget& dialog, const char* button) {
    In<QPushButton>(dialog, button)->click();
  }
  // What typing `keys` into the edit leaves in it.
  static QString Typed(QLineEdit* edit, const QString& keys) {
    edit->clear();
    QTest::keyClicks(edit, keys);
    return edit->text();
  }
};

TEST(TEMfReport, ControlsCaptionsAndPanelsFollowTheMode) {
  DialogBench bench;
  gui::TEMfReport byNumber(bench.Context(), MfReportMode::ByZNumber);
  byNumber.show();
  EXPECT_EQ(byNumber.windowTitle(), "Raport MF/JE dupa numar Z");
  EXPECT_EQ(byNumber.objectName(), "EMfReport");
  EXPECT_EQ(bench.In<QGroupBox>(byNumber, "RTipMFJE")->title(), "  Raport  ");
  EXPECT_EQ(bench.Items(byNumber, "RTipMFJE"), QStringList({"MF", "JE"}));
  EXPECT_EQ(bench.Items(byNumber, "RTipRap"), QStringList({"Detaliat", "Sumar"}));
  EXPECT_TRUE(bench.Item(byNumber, "RTipMFJE", 0)->isChecked());
  EXPECT_TRUE(bench.Item(byNumber, "RTipRap", 0)->isChecked());
  EXPECT_TRUE(bench.In(byNumber, "PZ")->isVisible());
  EXPECT_FALSE(bench.In(byNumber, "PD")->isVisible());
  auto* start = bench.In<QPushButton>(byNumber, "BStart");
  EXPECT_EQ(start->text(), "&Start raport");
  EXPECT_TRUE(start->isDefault());
  EXPECT_EQ(bench.In<QPushButton>(byNumber, "BStop")->text(), "S&top raport");
  EXPECT_EQ(bench.In<QPushButton>(byNumber, "BitBtn1")->text(), "&Iesire");
  const MfReportRequest empty = byNumber.Request();
  EXPECT_EQ(empty.source, MfJeSource::MF);
  EXPECT_EQ(empty.startNumber, "");

  gui::TEMfReport byPeriod(bench.Context(), MfReportMode::ByPeriod);
  byPeriod.show();
  EXPECT_EQ(byPeriod.windowTitle(), "Raport MF pe perioada");
  EXPECT_FALSE(bench.In(byPeriod, "PZ")->isVisible());
  EXPECT_TRUE(bench.In(byPeriod, "PD")->isVisible());
  EXPECT_EQ(bench.In<QLineEdit>(byPeriod, "EdataStart")->displayText(), "  .  .  ");
  EXPECT_EQ(byPeriod.Request().endDate, kEmptyDateText);
}

TEST(TEMfReport, NumberFieldsTakeOnlyDigitsAndDateFieldsFollowTheMask) {
  DialogBench bench;
  gui::TEMfReport byNumber(bench.Context(), MfReportMode::ByZNumber);
  auto* start = bench.In<QLineEdit>(byNumber, "ENrStart");
  EXPECT_EQ(bench.Typed(start, "1a2-3,4.+ 5"), "12345");
  QTest::keyClick(start, Qt::Key_Backspace);
  EXPECT_EQ(start->text(), "1234");
  EXPECT_EQ(bench.Typed(bench.In<QLineEdit>(byNumber, "ENrEnd"), "x7"), "7");

  gui::TEMfReport byPeriod(bench.Context(), MfReportMode::ByPeriod);
  auto* date = bench.In<QLineEdit>(byPeriod, "EdataStart");
  date->setFocus();
  QTest::keyClick(date, Qt::Key_Home);
  QTest::keyClicks(date, "01a0326");
  EXPECT_EQ(date->displayText(), "01.03.26");
  EXPECT_EQ(byPeriod.Request().startDate, "01.03.26");
}

TEST(TEMfReport, ARefusedInputTellsWhyMovesTheFocusAndSendsNothing) {
  DialogBench bench;
  gui::TEMfReport byNumber(bench.Context(), MfReportMode::ByZNumber);
  byNumber.show();
  auto* startNumber = bench.In<QLineEdit>(byNumber, "ENrStart");
  auto* endNumber = bench.In<QLineEdit>(byNumber, "ENrEnd");
  startNumber->setText("12");
  bench.Press(byNumber, "BStart");
  ASSERT_EQ(bench.op.boxes.size(), 1u);
  EXPECT_EQ(bench.op.boxes[0].text, "Numarul de sfarsit raport este eronat !");
  EXPECT_EQ(bench.op.boxes[0].caption, "Eroare ");
  EXPECT_EQ(bench.op.boxes[0].kind, MsgKind::Error);
  EXPECT_EQ(byNumber.focusWidget(), endNumber);

  startNumber->setText("-1");  // pasted: the edit itself takes no sign from the keyboard
  endNumber->setText("5");
  bench.Press(byNumber, "BStart");
  EXPECT_EQ(byNumber.focusWidget(), startNumber);

  startNumber->setText("12");
  bench.Press(byNumber, "BStart");
  EXPECT_EQ(bench.op.boxes.back().text,
            "Numarul de sfarsit nu poate fi mai mic decat cel de inceput !");

  gui::TEMfReport byPeriod(bench.Context(), MfReportMode::ByPeriod);
  byPeriod.show();
  auto* startDate = bench.In<QLineEdit>(byPeriod, "EdataStart");
  auto* endDate = bench.In<QLineEdit>(byPeriod, "EDataEnd");
  endDate->setFocus();
  startDate->setText("31.04.26");
  bench.Press(byPeriod, "BStart");
  EXPECT_EQ(bench.op.boxes.back().text, "Data de inceput interval este eronata !");
  EXPECT_EQ(byPeriod.focusWidget(), startDate);
  startDate->setText("02.03.26");
  endDate->setText("01.03.26");
  bench.Press(byPeriod, "BStart");
  EXPECT_EQ(bench.op.boxes.back().text,
            "Data de inceput interval nu poate fi mai mare decat data de sfarsit interval !");
  EXPECT_EQ(byPeriod.focusWidget(), endDate);
  EXPECT_TRUE(bench.engine.ReceivedCommands().empty());
  EXPECT_TRUE(byPeriod.isVisible());
}

TEST(TEMfReport, EscapeStopsTheReportAndKeepsTheDialogIesireClosesIt) {
  DialogBench bench;
  gui::TEMfReport dialog(bench.Context(), MfReportMode::ByZNumber);
  dialog.show();
  QTest::keyClick(bench.In<QLineEdit>(dialog, "ENrStart"), Qt::Key_Escape);
  EXPECT_EQ(bench.CommandsReceived("5005"), 1);
  EXPECT_TRUE(dialog.isVisible());
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_EQ(bench.CommandsReceived("5005"), 2);
  EXPECT_TRUE(dialog.isVisible());
  bench.Press(dialog, "BitBtn1");
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(bench.CommandsReceived("5005"), 2);
}

TEST(TEMfReport, TheReportAsChosenAndTheDialogStaysOpenForTheNext) {
  DialogBench bench;
  gui::TEMfReport byPeriod(bench.Context(), MfReportMode::ByPeriod);
  byPeriod.show();
  bench.In<QLineEdit>(byPeriod, "EdataStart")->setText("01.03.26");
  bench.In<QLineEdit>(byPeriod, "EDataEnd")->setText("31.03.26");
  bench.Item(byPeriod, "RTipRap", 1)->click();
  bench.Press(byPeriod, "BStart");
  bench.Item(byPeriod, "RTipMFJE", 1)->click();
  bench.Press(byPeriod, "BStart");
  EXPECT_EQ(bench.CommandsReceived("5003010326310326"), 1);
  EXPECT_EQ(bench.CommandsReceived("8001010326310326"), 1) << "JE ignores Sumar";
  EXPECT_TRUE(bench.op.boxes.empty());
  EXPECT_TRUE(byPeriod.isVisible());
}

TEST(TEInOutSume, ControlsDefaultsAndTheReasonThatFollowsTheChoice) {
  DialogBench bench;
  gui::TEInOutSume dialog(bench.Context(), ',');
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Intrare / iesire numerar sertar");
  // The whole caption in a title bar (mostly bold, beside the icon and the close box), also
  // once the dialog's fixed size has been worked out again.
  QFont bold = dialog.font();
  bold.setBold(true);
  const int captionWidth = QFontMetrics(bold).horizontalAdvance(dialog.windowTitle()) + 140;
  QApplication::processEvents();
  dialog.adjustSize();
  EXPECT_GE(dialog.width(), captionWidth);
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "the size stays fixed";
  EXPECT_EQ(dialog.objectName(), "EInOutSume");
  EXPECT_EQ(bench.In<QGroupBox>(dialog, "RTipOper")->title(), "    Tipul  operatiei      ");
  EXPECT_EQ(bench.Items(dialog, "RTipOper"), QStringList({"Intrare numerar", "Iesire numerar"}));
  EXPECT_TRUE(bench.Item(dialog, "RTipOper", 0)->isChecked());
  auto* amount = bench.In<QLineEdit>(dialog, "ENrStart");
  auto* reason = bench.In<QLineEdit>(dialog, "ENrEnd");
  EXPECT_EQ(reason->text(), "SOLD INITIAL");
  EXPECT_EQ(reason->maxLength(), 32);
  EXPECT_EQ(dialog.focusWidget(), amount);
  EXPECT_TRUE(bench.In<QPushButton>(dialog, "BStart")->isDefault());
  EXPECT_EQ(bench.In<QPushButton>(dialog, "BStart")->text(), "&Start operatie");
  EXPECT_EQ(bench.In<QPushButton>(dialog, "BitBtn1")->text(), "&Iesire");

  reason->setFocus();
  bench.Item(dialog, "RTipOper", 1)->click();
  EXPECT_EQ(reason->text(), "");
  EXPECT_EQ(dialog.focusWidget(), amount);
  EXPECT_EQ(dialog.Request().operation, CashOperation::CashOut);
  bench.Item(dialog, "RTipOper", 0)->click();
  EXPECT_EQ(reason->text(), "SOLD INITIAL");

  QTest::keyClick(amount, Qt::Key_Escape);
  EXPECT_FALSE(dialog.isVisible()) << "Escape leaves without an operation";
  EXPECT_TRUE(bench.engine.ReceivedCommands().empty());
}

TEST(TEInOutSume, TheAmountTakesDigitsAndTheLocalesSeparatorAndRefusesWhatIsPasted) {
  DialogBench bench;
  gui::TEInOutSume comma(bench.Context(), ',');
  comma.show();
  auto* amount = bench.In<QLineEdit>(comma, "ENrStart");
  EXPECT_EQ(bench.Typed(amount, "1a5-0.,2e5"), "150,25");
  QTest::keyClick(amount, Qt::Key_Backspace);
  EXPECT_EQ(amount->text(), "150,2");

  amount->setText("12x");
  bench.In<QLineEdit>(comma, "ENrEnd")->setFocus();
  bench.Press(comma, "BStart");
  ASSERT_EQ(bench.op.boxes.size(), 1u);
  EXPECT_EQ(bench.op.boxes[0].text, "Suma eronata !");
  EXPECT_EQ(bench.op.boxes[0].caption, "Eroare");
  EXPECT_EQ(bench.op.boxes[0].kind, MsgKind::Warning);
  EXPECT_EQ(comma.focusWidget(), amount);
  EXPECT_EQ(amount->selectedText(), "12x");
  EXPECT_TRUE(bench.engine.ReceivedCommands().empty());

  gui::TEInOutSume point(bench.Context(), '.');
  EXPECT_EQ(bench.Typed(bench.In<QLineEdit>(point, "ENrStart"), "20,5.5"), "205.5");
}

TEST(TEInOutSume, EachStartSendsTheAmountAndTheDialogStaysOpen) {
  DialogBench bench;
  gui::TEInOutSume dialog(bench.Context(), ',');
  dialog.show();
  auto* amount = bench.In<QLineEdit>(dialog, "ENrStart");
  amount->setText("20");
  bench.Press(dialog, "BStart");
  bench.Item(dialog, "RTipOper", 1)->click();
  amount->setText("10,05");
  bench.Press(dialog, "BStart");
  EXPECT_EQ(bench.CommandsReceived("7106D000002000"), 1);
  EXPECT_EQ(bench.CommandsReceived("7106P000001005"), 1);
  EXPECT_TRUE(bench.op.boxes.empty());
  EXPECT_TRUE(dialog.isVisible());
}

TEST(TEExportXML, ControlsAndDefaultsOfTheCurrentMonth) {
  DialogBench bench;
  const LocalDateTime now = bench.clock.Now();
  gui::TEExportXML dialog(bench.Context(), true);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Export XML");
  EXPECT_EQ(dialog.objectName(), "EExportXML");
  auto* year = bench.In<QLineEdit>(dialog, "EAn");
  EXPECT_EQ(year->text(), QString::number(now.year));
  auto* month = bench.In<QComboBox>(dialog, "CLuna");
  ASSERT_EQ(month->count(), 12);
  EXPECT_EQ(month->itemText(0), " 1");
  EXPECT_EQ(month->itemText(11), "12");
  EXPECT_FALSE(month->isEditable());
  EXPECT_EQ(month->currentIndex(), now.month - 1);
  EXPECT_EQ(bench.In<QGroupBox>(dialog, "RTip")->title(), "  Tip export  ");
  EXPECT_EQ(bench.Items(dialog, "RTip"), QStringList({"R", "X"}));
  EXPECT_TRUE(bench.Item(dialog, "RTip", 0)->isChecked());
  EXPECT_EQ(bench.In<QPushButton>(dialog, "BStart")->text(), "&Start export");
  EXPECT_TRUE(bench.In<QPushButton>(dialog, "BStart")->isDefault());
  EXPECT_EQ(bench.In<QPushButton>(dialog, "BIesire")->text(), "&Iesire");

  EXPECT_EQ(bench.Typed(year, "2a0-2,5"), "2025");
  month->setCurrentIndex(8);
  bench.Item(dialog, "RTip", 1)->click();
  const ExportXmlRequest request = dialog.Request();
  EXPECT_EQ(request.yearText, "2025");
  EXPECT_EQ(request.monthText, " 9");
  EXPECT_EQ(request.type, ExportType::X);
  EXPECT_TRUE(request.binaryTransfer);
}

TEST(TEExportXML, AYearOf2017IsRefusedWithTheFocusOnItAndEscapeCloses) {
  DialogBench bench;
  gui::TEExportXML dialog(bench.Context(), false);
  dialog.show();
  auto* year = bench.In<QLineEdit>(dialog, "EAn");
  year->setText("2017");
  bench.In<QComboBox>(dialog, "CLuna")->setFocus();
  bench.Press(dialog, "BStart");
  ASSERT_EQ(bench.op.boxes.size(), 1u);
  EXPECT_EQ(bench.op.boxes[0].text, "Anul exportului este eronat");
  EXPECT_EQ(bench.op.boxes[0].caption, "Eroare ");
  EXPECT_EQ(bench.op.boxes[0].kind, MsgKind::Error);
  EXPECT_EQ(dialog.focusWidget(), year);
  EXPECT_TRUE(bench.engine.ReceivedCommands().empty());
  QTest::keyClick(year, Qt::Key_Escape);
  EXPECT_FALSE(dialog.isVisible());
}

TEST(LogoProgressWindow, HoldsTheMainWindowAndCannotBeClosedUntilTheEnd) {
  DialogBench bench;
  bench.window.show();
  {
    gui::LogoProgressWindow progress(&bench.window);
    progress.Begin(3);
    gui::TProgressbar* shown = progress.Window();
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->isVisible());
    EXPECT_EQ(shown->windowTitle(), "Asteapta, transmit fisierul ...");
    EXPECT_FALSE(bench.window.isEnabled());
    EXPECT_FALSE(shown->close());
    EXPECT_TRUE(shown->isVisible());
    progress.Advance(1);
    EXPECT_EQ(shown->Gauge()->value(), 33);
    progress.Advance(3);
    EXPECT_EQ(shown->Gauge()->value(), 100);
    progress.End();
    EXPECT_EQ(progress.Window(), nullptr);
    EXPECT_TRUE(bench.window.isEnabled());

    progress.Begin(2);
    EXPECT_FALSE(bench.window.isEnabled());
  }
  EXPECT_TRUE(bench.window.isEnabled()) << "an upload that ends without End still gives it back";
}

TEST(WinText, TypedTextBecomesWindows1250) {
  std::string every;
  for (int byte = 0x20; byte <= 0xFF; ++byte) {
    if (gui::FromWinText(std::string(1, static_cast<char>(byte))) != QChar(0xFFFD)) {
      every.push_back(static_cast<char>(byte));
    }
  }
  EXPECT_EQ(gui::ToWinText(gui::FromWinText(every)), every);
  EXPECT_EQ(gui::ToWinText(QString::fromUtf8("SOLD \u0219i \u015F\u20AC\u4E2D")),
            "SOLD ?i \xBA\x80?");
}

}  // namespace
}  // namespace ruvo::testing
