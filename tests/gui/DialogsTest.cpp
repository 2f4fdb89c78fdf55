#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <algorithm>

#include "GuiBench.h"
#include "console/gui/RomMessageDlg.h"
#include "console/gui/TEGetFormaPlata.h"
#include "console/gui/TProgressbar.h"
#include "console/gui/WinText.h"

namespace ruvo::testing {
namespace {

// What a shown message box looked like, and what it answered.
struct Seen {
  QString caption;
  QString text;
  QStringList buttons;  // left to right
  bool picture = false;
  int width = 0;
  MsgResult answer = MsgResult::None;
};

// Shows a box, does `act` to it once it is up, and reports what was seen.
Seen Show(const std::string& text, const std::string& caption, MsgKind kind, MsgButtons buttons,
          const std::function<void(QWidget*)>& act) {
  Seen seen;
  WhenModal([&](QWidget* box) {
    seen.caption = box->windowTitle();
    seen.text = box->findChild<QLabel*>("Text")->text();
    seen.picture = box->findChild<QLabel*>("Picture") != nullptr;
    seen.width = box->width();
    QList<QPushButton*> row = box->findChildren<QPushButton*>();
    std::sort(row.begin(), row.end(),
              [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
    for (QPushButton* button : row) seen.buttons << button->text();
    act(box);
  });
  seen.answer = gui::RomMessageDlg(text, caption, kind, buttons);
  return seen;
}

void PressKey(QWidget* box, Qt::Key key) { QTest::keyClick(box, key); }

TEST(RomMessageDlg, CaptionsOfTheKindsWhenNoneIsGiven) {
  const auto escape = [](QWidget* box) { PressKey(box, Qt::Key_Escape); };
  EXPECT_EQ(Show("x", "", MsgKind::Warning, MsgButtons::Ok, escape).caption, "Atentie !");
  EXPECT_EQ(Show("x", "", MsgKind::Error, MsgButtons::Ok, escape).caption, "EROARE !");
  EXPECT_EQ(Show("x", "", MsgKind::Information, MsgButtons::Ok, escape).caption, "Informatie...");
  EXPECT_EQ(Show("x", "", MsgKind::Confirmation, MsgButtons::Ok, escape).caption, "Confirmare...");
  EXPECT_EQ(Show("x", "", MsgKind::Custom, MsgButtons::Ok, escape).caption, "");
  EXPECT_EQ(Show("x", "Eroare ", MsgKind::Error, MsgButtons::Ok, escape).caption, "Eroare ");
}

TEST(RomMessageDlg, YesAndNoSayDaAndNuInThatOrderEnterYesEscapeNo) {
  const Seen enter = Show("Sigur inchizi programul ?", "Atentie", MsgKind::Confirmation,
                          MsgButtons::YesNo, [](QWidget* box) { PressKey(box, Qt::Key_Return); });
  EXPECT_EQ(enter.buttons, QStringList({"Da", "Nu"}));
  EXPECT_EQ(enter.caption, "Atentie");
  EXPECT_TRUE(enter.picture);
  EXPECT_EQ(enter.answer, MsgResult::Yes);

  const Seen escape = Show("q", "Atentie", MsgKind::Confirmation, MsgButtons::YesNo,
                           [](QWidget* box) { PressKey(box, Qt::Key_Escape); });
  EXPECT_EQ(escape.answer, MsgResult::No);

  // Enter answers Yes even when the focus went to "Nu".
  const Seen focusOnNo = Show("q", "", MsgKind::Confirmation, MsgButtons::YesNo, [](QWidget* box) {
    box->findChild<QPushButton*>("No")->setFocus();
    PressKey(box, Qt::Key_Enter);
  });
  EXPECT_EQ(focusOnNo.answer, MsgResult::Yes);

  const Seen closeBox =
      Show("q", "", MsgKind::Confirmation, MsgButtons::YesNo, [](QWidget* box) { box->close(); });
  EXPECT_EQ(closeBox.answer, MsgResult::Cancel);
}

TEST(RomMessageDlg, OkAloneAnswersOkToEnterAndEscape) {
  const Seen enter = Show("Transmisia s-a facut cu succes !", "", MsgKind::Information,
                          MsgButtons::Ok, [](QWidget* box) { PressKey(box, Qt::Key_Return); });
  EXPECT_EQ(enter.buttons, QStringList({"OK"}));
  EXPECT_FALSE(enter.picture);
  EXPECT_EQ(enter.answer, MsgResult::Ok);
  const Seen escape = Show("x", "Eroare", MsgKind::Warning, MsgButtons::Ok,
                           [](QWidget* box) { PressKey(box, Qt::Key_Escape); });
  EXPECT_EQ(escape.answer, MsgResult::Ok);
}

TEST(RomMessageDlg, EscapePrefersCancelWhenNoAndCancelAreBoth) {
  gui::DlgButtons set;
  set.set(static_cast<std::size_t>(gui::DlgButton::Yes));
  set.set(static_cast<std::size_t>(gui::DlgButton::No));
  set.set(static_cast<std::size_t>(gui::DlgButton::Cancel));
  gui::RomMessageBox box("q", "", MsgKind::Confirmation, set);
  QStringList order;
  WhenModal([&](QWidget* shown) {
    QList<QPushButton*> row = shown->findChildren<QPushButton*>();
    std::sort(row.begin(), row.end(),
              [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
    for (QPushButton* button : row) order << button->objectName();
    PressKey(shown, Qt::Key_Escape);
  });
  EXPECT_EQ(box.Ask(), MsgResult::Cancel);
  EXPECT_EQ(order, QStringList({"Yes", "No", "Cancel"}));
}

TEST(RomMessageDlg, ShowsTheEcrDashAndLineBreaksAndWrapsAtHalfTheScreen) {
  const Seen dash = Show("8025;Eroare \x96 hartie\r\rAti eliminat eroarea ?", "Eroare imprimanta",
                         MsgKind::Confirmation, MsgButtons::YesNo,
                         [](QWidget* box) { PressKey(box, Qt::Key_Escape); });
  EXPECT_EQ(dash.text, QString::fromUtf8("8025;Eroare \u2013 hartie\n\nAti eliminat eroarea ?"));

  const int half = QApplication::primaryScreen()->availableGeometry().width() / 2;
  std::string longText;
  for (int k = 0; k < 80; ++k) longText += "cuvant ";
  const Seen wide = Show(longText, "", MsgKind::Warning, MsgButtons::Ok,
                         [](QWidget* box) { PressKey(box, Qt::Key_Return); });
  EXPECT_GT(wide.width, half / 2);
  EXPECT_LE(wide.width, half + 200);
}

TEST(RomMessageDlg, GivesTheCursorBackAsItWas) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  Qt::CursorShape during = Qt::WaitCursor;
  Show("x", "", MsgKind::Warning, MsgButtons::Ok, [&](QWidget* box) {
    during = QApplication::overrideCursor()->shape();
    PressKey(box, Qt::Key_Return);
  });
  EXPECT_EQ(during, Qt::ArrowCursor);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  QApplication::restoreOverrideCursor();
}

TEST(TEGetFormaPlata, ReturnsTheChosenFormOrCancelsTheReceipt) {
  int form = 0;
  WhenModal([](QWidget* dialog) {
    EXPECT_EQ(dialog->windowTitle(), "Eroare forma plata");
    const QList<QRadioButton*> items = dialog->findChildren<QRadioButton*>();
    ASSERT_EQ(items.size(), 7);
    EXPECT_TRUE(items[0]->isChecked());
    for (QRadioButton* item : items) {
      if (item->text() == " 6 = DEBIT CARD") item->click();
    }
    dialog->findChild<QPushButton*>("BStart")->click();
  });
  EXPECT_TRUE(gui::AskPaymentForm(form));
  EXPECT_EQ(form, 6);

  form = 0;
  WhenModal([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
  EXPECT_FALSE(gui::AskPaymentForm(form));
  EXPECT_EQ(form, 0);

  WhenModal([](QWidget* dialog) { dialog->findChild<QPushButton*>("BitBtn1")->click(); });
  EXPECT_FALSE(gui::AskPaymentForm(form));
}

TEST(TProgressbar, RefusesToCloseWhileBusy) {
  gui::TProgressbar progress;
  EXPECT_EQ(progress.windowTitle(), "Asteapta ....");
  progress.show();
  progress.SetBusy(true);
  progress.SetProgress(40);
  EXPECT_FALSE(progress.close());
  QTest::keyClick(&progress, Qt::Key_Escape);
  EXPECT_TRUE(progress.isVisible());
  EXPECT_EQ(progress.Gauge()->text(), "40%");
  progress.SetBusy(false);
  EXPECT_TRUE(progress.close());
  EXPECT_FALSE(progress.isVisible());
}

TEST(WinText, TurnsWindows1250IntoUnicodeForTheScreen) {
  EXPECT_EQ(gui::FromWinText("abc 123"), "abc 123");
  EXPECT_EQ(gui::FromWinText("\x96"), QString(QChar(0x2013)));
  EXPECT_EQ(gui::FromWinText("\xaa\xba\xde\xfe\xc3\xe3"), QString::fromUtf8("ŞşŢţĂă"));
  EXPECT_EQ(gui::FromWinText("a\rb\r\nc"), "a\nb\nc");
  EXPECT_EQ(gui::FromWinText("\x81"), QString(QChar(0xFFFD)));
  EXPECT_EQ(gui::FromWinText(std::string("a\0b", 3)).size(), 3);
}

}  // namespace
}  // namespace ruvo::testing
