#include "console/gui/LogoUploadWindow.h"

#include <QApplication>
#include <QFile>
#include <QStringList>

#include "console/gui/PictureDialog.h"
#include "console/gui/QtStockTexts.h"
#include "console/gui/TProgressbar.h"

namespace ruvo::gui {

LogoProgressWindow::LogoProgressWindow(QWidget* mainWindow) : mainWindow_(mainWindow) {}

LogoProgressWindow::~LogoProgressWindow() {
  End();
  BusyCursor(false);
}

void LogoProgressWindow::BusyCursor(bool busy) {
  if (busy == busyCursor_) return;
  busyCursor_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void LogoProgressWindow::Begin(int pieceCount) {
  pieceCount_ = pieceCount;
  // A window of its own rather than a child: disabling the main window must not disable it.
  progress_ = std::make_unique<TProgressbar>();
  progress_->setWindowTitle(QString::fromStdString(kLogoProgressCaption));
  progress_->SetProgress(0);
  if (mainWindow_ != nullptr) mainWindow_->setEnabled(false);
  progress_->show();
  QApplication::processEvents();
  progress_->SetBusy(true);
}

void LogoProgressWindow::Advance(int piecesSent) {
  QApplication::processEvents();
  if (progress_ == nullptr || pieceCount_ <= 0) return;
  progress_->SetProgress(static_cast<int>(static_cast<long long>(piecesSent) * 100 / pieceCount_));
}

void LogoProgressWindow::End() {
  if (mainWindow_ != nullptr) mainWindow_->setEnabled(true);
  if (progress_ == nullptr) return;
  progress_->SetBusy(false);
  progress_->close();
  progress_.reset();
}

QString ChoosePicture(QWidget* parent) {
  // Before the dialog is made, so that it is built in Romanian.
  InstallQtStockTexts();
  PictureDialog od(parent);
  if (od.exec() != QDialog::Accepted || od.selectedFiles().isEmpty()) return {};
  return od.selectedFiles().front();
}

void UploadLogoFromWindow(const ConsoleContext& context, QWidget* mainWindow) {
  const QString picture = ChoosePicture(mainWindow);
  if (picture.isEmpty()) return;
  LogoProgressWindow progress(mainWindow);
  LoadLogo(context, QFile::encodeName(picture).toStdString(), &progress,
           LogoConfirmation::AskOperator);
}

}  // namespace ruvo::gui
