#include "console/gui/TProgressbar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace ruvo::gui {

TProgressbar::TProgressbar(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName("Progressbar");
  setWindowTitle("Asteapta ....");
  gauge_ = new QProgressBar(this);
  gauge_->setObjectName("Gauge");
  gauge_->setRange(0, 100);
  gauge_->setValue(0);
  gauge_->setTextVisible(true);
  gauge_->setFormat("%p%");
  gauge_->setAlignment(Qt::AlignCenter);
  gauge_->setStyleSheet(
      "QProgressBar { background: palette(highlight); border: none; }"
      "QProgressBar::chunk { background: teal; }");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(gauge_);
  setFixedSize(505, 27);
  if (const QScreen* screen = QApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void TProgressbar::SetProgress(int percent) { gauge_->setValue(std::clamp(percent, 0, 100)); }

void TProgressbar::closeEvent(QCloseEvent* event) {
  if (busy_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

// Escape rejects a dialog without a close event; it must not end a busy transfer's window
// either.
void TProgressbar::reject() {
  if (!busy_) QDialog::reject();
}

}  // namespace ruvo::gui
