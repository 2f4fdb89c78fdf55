#pragma once

#include <QString>
#include <memory>

#include "console/LogoUpload.h"

class QWidget;

namespace ruvo::gui {

class TProgressbar;

// The progress of a logo upload as the window shows it: the main window disabled, the
// progress window on top, busy so that it cannot be closed, its gauge at the share of the
// pieces sent; the wait cursor while the upload runs. Whatever way the upload ends, the
// main window comes back enabled and the cursor as it was.
class LogoProgressWindow final : public ILogoProgress {
 public:
  explicit LogoProgressWindow(QWidget* mainWindow);
  ~LogoProgressWindow() override;
  LogoProgressWindow(const LogoProgressWindow&) = delete;
  LogoProgressWindow& operator=(const LogoProgressWindow&) = delete;

  void BusyCursor(bool busy) override;
  void Begin(int pieceCount) override;
  void Advance(int piecesSent) override;
  void End() override;

  // The progress window while the pieces travel, null otherwise.
  TProgressbar* Window() const { return progress_.get(); }

 private:
  QWidget* mainWindow_;
  std::unique_ptr<TProgressbar> progress_;
  int pieceCount_ = 0;
  bool busyCursor_ = false;
};

// The picture-file open dialog OD (PictureDialog), in Romanian. Empty when the operator
// cancels.
QString ChoosePicture(QWidget* parent);

// "Incarcare logo grafic": the picture chosen in OD, then the upload with its question,
// its messages and the progress window over mainWindow.
void UploadLogoFromWindow(const ConsoleContext& context, QWidget* mainWindow);

}  // namespace ruvo::gui
