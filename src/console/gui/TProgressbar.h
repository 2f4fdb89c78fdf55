#pragma once

#include <QDialog>

class QProgressBar;

namespace ruvo::gui {

// The small always-on-top progress window of a long transfer. While it is busy its close
// box does nothing, so the operator cannot pull it away from under the transfer.
class TProgressbar final : public QDialog {
  Q_OBJECT
 public:
  explicit TProgressbar(QWidget* parent = nullptr);

  void SetBusy(bool busy) { busy_ = busy; }
  bool Busy() const { return busy_; }
  // Percent done, 0..100.
  void SetProgress(int percent);
  QProgressBar* Gauge() const { return gauge_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  QProgressBar* gauge_ = nullptr;
  bool busy_ = false;
};

}  // namespace ruvo::gui
