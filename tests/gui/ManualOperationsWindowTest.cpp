#include <gtest/gtest.h>

#include <memory>

#include <QAbstractProxyModel>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTreeView>

#include "Control.h"
#include "GuiBench.h"
#include "app/InFlightJournal.h"
#include "app/ReceiptDelivery.h"
#include "platform/Files.h"
#include "platform/Locale.h"
#include "support/FileBytes.h"

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

TEST(ManualOperationsWindow, TheBinaryExportButtonSavesTheEcrsArchive) {
  StoppedWindow bench;
  bench.InDialog(
      "BExportXML2",
      [](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Export XML");
        StoppedWindow::Set(dialog, "EAn", "2026");
        dialog->findChild<QComboBox*>("CLuna")->setCurrentIndex(8);
        StoppedWindow::Press(dialog, "BStart");
      },
      "BIesire");
  EXPECT_EQ(bench.CommandsReceived("6416202609R"), 1);
  EXPECT_EQ(bench.CommandsReceived("7404"), 1);
  const std::vector<std::string> archives = ListMatching(bench.Path("ExportXML"), "202609_*.ZIP");
  ASSERT_EQ(archives.size(), 1u);
  EXPECT_FALSE(ReadBytes(bench.Path("ExportXML/" + archives[0])).empty());
  EXPECT_TRUE(bench.op.boxes.empty());
}

TEST(ManualOperationsWindow, TheLogoChosenInThePictureDialogGoesInPiecesUnderTheProgressWindow) {
  StoppedWindow bench;
  std::string picture = "BM";
  picture.resize(120, '\x0A');
  WriteBytes(bench.Path("logo.bmp"), picture);
  bench.op.answer = MsgResult::Yes;
  bool offered = false;
  WhenModal([&](QWidget* dialog) {
    auto* od = qobject_cast<QFileDialog*>(dialog);
    if (od == nullptr) {
      ADD_FAILURE() << "not the picture dialog: " << dialog->metaObject()->className();
      qobject_cast<QDialog*>(dialog)->reject();
      return;
    }
    EXPECT_EQ(od->objectName(), "OD");
    // The standard filter of the picture formats, BMP first; nothing of the program's own.
    ASSERT_GE(od->nameFilters().size(), 2);
    EXPECT_TRUE(od->nameFilters()[0].startsWith("Toate imaginile (*.bmp *.BMP *.Bmp "));
    EXPECT_EQ(od->nameFilters()[1], "Imagini BMP (*.bmp *.BMP *.Bmp)");
    EXPECT_EQ(od->labelText(QFileDialog::Accept), "&Deschide");
    EXPECT_EQ(od->labelText(QFileDialog::Reject), "&Renunta");
    auto* preview = od->findChild<QLabel*>("Previzualizare");
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->pixmap().isNull());
    QImage real(8, 8, QImage::Format_RGB32);
    real.fill(Qt::black);
    const QString shown = QString::fromStdString(bench.Path("shown.bmp"));
    ASSERT_TRUE(real.save(shown, "BMP"));
    emit od->currentChanged(shown);
    EXPECT_FALSE(preview->pixmap().isNull()) << "the picture under the cursor is shown";
    emit od->currentChanged(QString::fromStdString(bench.Path("logo.bmp")));
    EXPECT_TRUE(preview->pixmap().isNull()) << "nothing shown for what is no picture";
    offered = true;
    // Typed as an operator would: selectFile() leaves the name field alone while it has the
    // focus, and the folder's listing fills in on another thread, so it would race.
    auto* name = od->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText(QString::fromStdString(bench.Path("logo.bmp")));
    static_cast<QDialog*>(od)->accept();  // the file dialog's own accept takes the name typed
    if (od->isVisible()) {
      ADD_FAILURE() << "the picture dialog refused " << name->text().toStdString();
      od->reject();
    }
  });
  bench.Click("BLogoGrafic");
  ASSERT_TRUE(offered);
  EXPECT_EQ(bench.CommandsReceived("9100000120"), 1);
  EXPECT_EQ(bench.CommandsReceived("910150"), 2);
  EXPECT_EQ(bench.CommandsReceived("910120"), 1);
  EXPECT_EQ(bench.CommandsReceived("9102"), 1);
  ASSERT_EQ(bench.op.boxes.size(), 2u);
  EXPECT_EQ(bench.op.boxes[0].caption, "Atentie");
  EXPECT_EQ(bench.op.boxes[1].text, "Transmisia s-a facut cu succes !");
  EXPECT_TRUE(FileExists(bench.Path("LOGO.XRD")));
  EXPECT_TRUE(bench.window.isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // Cancelling the picture dialog sends nothing.
  const std::size_t before = bench.CommandsSinceStart();
  WhenModal([](QWidget* dialog) { qobject_cast<QDialog*>(dialog)->reject(); });
  bench.Click("BLogoGrafic");
  EXPECT_EQ(bench.CommandsSinceStart(), before);
  EXPECT_EQ(bench.op.boxes.size(), 2u);
}

// The sales application read the last answer as final: a refusal of the state check goes to
// the operator's box, never into ERROR.TXT.
TEST(ManualOperationsWindow, AStateCheckRefusalIsShownAndTheLastAnswerStays) {
  StoppedWindow bench;
  const std::string lastAnswer = "0 OK\r\nBON FISCAL NR. 0042\r\n";
  WriteBytes(bench.Path("ERROR.TXT"), lastAnswer);
  ASSERT_EQ(xruvo_sim::ApplyControlCommand(bench.engine, "status 9 1"), "");
  bench.Click("BRaportZilnic");
  EXPECT_EQ(bench.CommandsReceived("2002"), 0);
  ASSERT_EQ(bench.op.boxes.size(), 1u);
  EXPECT_EQ(bench.op.boxes[0].text.rfind("Nu pot efectua raportul zilnic  !\r51;", 0), 0u);
  EXPECT_EQ(ReadBytes(bench.Path("ERROR.TXT")), lastAnswer);
}

// While a receipt file's interrupted run waits, the operator is told so at the click, before
// filling in a dialog whose operation would be refused anyway.
TEST(ManualOperationsWindow, AnInterruptedReceiptFileKeepsTheDialogsShut) {
  StoppedWindow bench;
  WriteBytes(bench.Path("ONLINE.TXT"), "1;A;U;1;1;250;100000\r\n5;250;1\r\n");
  InFlightRecord record;
  record.name = "ONLINE.TXT";
  record.delivery.sha256 = std::string(64, 'a');
  record.delivery.token = NewDeliveryToken();  // a record names its delivery
  record.kind = FileKind::Sale;
  record.phase = RunPhase::Lines;
  ASSERT_TRUE(InFlightJournal(bench.folder.Path()).Put(record));

  // A dialog that opened anyway is shut at once, so that the test ends either way.
  const auto watching = std::make_shared<bool>(true);
  const auto opened = std::make_shared<bool>(false);
  WhenModal([watching, opened](QWidget* dialog) {
    if (!*watching) return;
    *opened = true;
    qobject_cast<QDialog*>(dialog)->reject();
  });
  ::testing::internal::CaptureStderr();
  bench.Click("BitBtn2");
  ::testing::internal::GetCapturedStderr();
  *watching = false;
  EXPECT_FALSE(*opened);
  ASSERT_EQ(bench.op.boxes.size(), 1u);
  EXPECT_EQ(bench.op.boxes[0].text.rfind(kInterruptedRunWaitsPrefix + "ONLINE.TXT", 0), 0u)
      << bench.op.boxes[0].text;
  EXPECT_EQ(bench.CommandsSinceStart(), 0u);
}

// Debian's Qt has no Romanian translation: the picture dialog carries its own texts. What an
// operator reads in it (labels, places, columns, the type of each file, the buttons' tips
// and the list's menu) is Romanian; no English text of Qt's is left.
TEST(ManualOperationsWindow, ThePictureDialogIsRomanianByItself) {
  StoppedWindow bench;
  WriteBytes(bench.Path("logo.bmp"), "BM");
  ASSERT_TRUE(CreateFolders(bench.Path("Poze")));
  QStringList shown;
  QString fileType;
  QString fileDate;
  QString folderType;
  WhenModal([&](QWidget* dialog) {
    auto* od = qobject_cast<QFileDialog*>(dialog);
    if (od == nullptr) {
      qobject_cast<QDialog*>(dialog)->reject();
      return;
    }
    od->setDirectory(QString::fromStdString(bench.folder.Path()));
    auto* files = od->findChild<QFileSystemModel*>();
    ASSERT_NE(files, nullptr);
    const QModelIndex logo = files->index(QString::fromStdString(bench.Path("logo.bmp")));
    const QModelIndex folder = files->index(QString::fromStdString(bench.Path("Poze")));
    // The listing fills in on another thread.
    RunUntil([&] { return !logo.siblingAtColumn(2).data().toString().isEmpty(); }, 5'000);
    fileType = logo.siblingAtColumn(2).data().toString();
    ASSERT_NE(od->proxyModel(), nullptr);
    fileDate = od->proxyModel()->mapFromSource(logo.siblingAtColumn(3)).data().toString();
    folderType = folder.siblingAtColumn(2).data().toString();
    auto* list = od->findChild<QTreeView*>("treeView");
    ASSERT_NE(list, nullptr);
    for (int column = 0; column < 4; ++column) {
      shown << list->model()->headerData(column, Qt::Horizontal).toString();
    }
    for (auto* label : od->findChildren<QLabel*>()) shown << label->text();
    for (auto* button : od->findChildren<QAbstractButton*>()) {
      shown << button->text() << button->toolTip();
    }
    for (auto* action : od->findChildren<QAction*>()) shown << action->text();
    auto* places = od->findChild<QListView*>("sidebar");
    ASSERT_NE(places, nullptr);
    for (int row = 0; row < places->model()->rowCount(); ++row) {
      shown << places->model()->index(row, 0).data().toString();
    }
    od->reject();
  });
  bench.Click("BLogoGrafic");
  ASSERT_FALSE(shown.isEmpty());
  EXPECT_EQ(shown.mid(0, 4), QStringList({"Nume", "Marime", "Tip", "Data modificarii"}));
  EXPECT_EQ(fileType, "Fisier BMP");
  EXPECT_EQ(folderType, "Dosar");
  EXPECT_TRUE(
      QRegularExpression("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d$").match(fileDate).hasMatch())
      << fileDate.toStdString();
  EXPECT_TRUE(shown.contains("Calculator"));
  EXPECT_TRUE(shown.contains("Inapoi"));
  EXPECT_TRUE(shown.contains("Dosar &nou"));
  for (const char* english :
       {"Computer", "Name", "Size", "Type", "Date Modified", "Back", "Forward", "Parent Directory",
        "Create New Folder", "List View", "Detail View", "&Rename", "&Delete", "Show &hidden files",
        "&New Folder", "Files of type:", "Look in:", "&Open", "Cancel"}) {
    EXPECT_FALSE(shown.contains(english)) << english;
  }
  EXPECT_EQ(bench.CommandsSinceStart(), 0u);
}

}  // namespace
}  // namespace ruvo::testing
