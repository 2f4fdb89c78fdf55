#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "Control.h"
#include "GuiBench.h"
#include "platform/Locale.h"

namespace ruvo::testing {
namespace {

// The window started and its processing stopped, so that the manual operations are open.
struct StoppedWindow : WindowBench {
  StoppedWindow() {
    window.Start();
    Click("Bstare");
    startUp = engine.ReceivedCommands().size();
  }
  // The ECR commands of the test itself, after those of the start.
  std::size_t CommandsSinceStart() const { return engine.ReceivedCommands().size() - startUp; }
  std::size_t startUp = 0;
  // Opens a dialog by its main window button, does `fill` to it and leaves it by `exit`.
  void InDialog(const char* button, const std::function<void(QWidget*)>& fill,
                const char* exit = "BitBtn1") {
    bool seen = false;
    WhenModal([&](QWidget* dialog) {
      seen = true;
      fill(dialog);
      dialog->findChild<QPushButton*>(exit)->click();
    });
    Click(button);
    EXPECT_TRUE(seen) << button;
  }
  static void Set(QWidget* dialog, const char* edit, const QString& text) {
    dialog->findChild<QLineEdit*>(edit)->setText(text);
  }
  static void Press(QWidget* dialog, const char* button) {
    dialog->findChild<QPushButton*>(button)->click();
  }
};

TEST(ManualOperationsWindow, RaportXPrintsAnXReport) {
  StoppedWindow bench;
  bench.Click("BRaportX");
  EXPECT_EQ(bench.CommandsReceived("2003"), 1);
  EXPECT_TRUE(bench.op.boxes.empty());
}

TEST(ManualOperationsWindow, TheReportDialogByZSendsTheNumbersPadded) {
  StoppedWindow bench;
  bench.InDialog("BRaportMFZ", [](QWidget* dialog) {
    EXPECT_EQ(dialog->windowTitle(), "Raport MF/JE dupa numar Z");
    StoppedWindow::Set(dialog, "ENrStart", "7");
    StoppedWindow::Set(dialog, "ENrEnd", "7");
    StoppedWindow::Press(dialog, "BStart");
  });
  EXPECT_EQ(bench.CommandsReceived("500100070007"), 1);
  bench.InDialog("BraportMFD", [](QWidget* dialog) {
    EXPECT_EQ(dialog->windowTitle(), "Raport MF pe perioada");
  });
}

TEST(ManualOperationsWindow, CashInOfTheDialogSendsTheAmount) {
  StoppedWindow bench;
  const QString separator = QChar::fromLatin1(DecimalSeparator());
  bench.InDialog("BitBtn2", [&](QWidget* dialog) {
    EXPECT_EQ(dialog->windowTitle(), "Intrare / iesire numerar sertar");
    QTest::keyClicks(dialog->findChild<QLineEdit*>("ENrStart"), "150" + separator + "50");
    StoppedWindow::Press(dialog, "BStart");
  });
  EXPECT_EQ(bench.CommandsReceived("7106D000015050"), 1);
  EXPECT_TRUE(bench.op.boxes.empty());
}

TEST(ManualOperationsWindow, BothExportButtonsOpenTheExportDialog) {
  StoppedWindow bench;
  bench.InDialog("BExportXML", [](QWidget* dialog) {
    EXPECT_EQ(dialog->windowTitle(), "Export XML");
  }, "BIesire");
  bench.InDialog("BExportXML2", [](QWidget* dialog) {
    EXPECT_EQ(dialog->objectName(), "EExportXML");
  }, "BIesire");
  EXPECT_EQ(bench.CommandsSinceStart(), 0u);
}

TEST(ManualOperationsWindow, TheLogoButtonOffersThePicturesAndACancelSendsNothing) {
  StoppedWindow bench;
  bool offered = false;
  WhenModal([&](QWidget* dialog) {
    auto* od = qobject_cast<QFileDialog*>(dialog);
    ASSERT_NE(od, nullptr);
    EXPECT_EQ(od->objectName(), "OD");
    EXPECT_TRUE(od->nameFilters().join(' ').contains("*.bmp"));
    offered = true;
    od->reject();
  });
  bench.Click("BLogoGrafic");
  EXPECT_TRUE(offered);
  EXPECT_TRUE(bench.op.boxes.empty());
  EXPECT_EQ(bench.CommandsSinceStart(), 0u);
}

// The state check of a manual operation answers through the receipt cycle's writer.
TEST(ManualOperationsWindow, TheStateCheckWritesThroughTheCyclesWriter) {
  struct RecordingWriter final : IResponseWriter {
    void WriteResponse(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
  } writer;
  StoppedWindow bench;
  bench.window.SetResponseWriter(&writer);
  ASSERT_EQ(xruvo_sim::ApplyControlCommand(bench.engine, "status 9 1"), "");
  bench.Click("BRaportZilnic");
  ASSERT_EQ(writer.texts.size(), 1u);
  EXPECT_EQ(writer.texts[0].rfind("51;", 0), 0u) << writer.texts[0];
  EXPECT_EQ(bench.CommandsReceived("2002"), 0);
  ASSERT_EQ(bench.op.boxes.size(), 1u);
  EXPECT_EQ(bench.op.boxes[0].text.rfind("Nu pot efectua raportul zilnic  !\r51;", 0), 0u);
}

}  // namespace
}  // namespace ruvo::testing
