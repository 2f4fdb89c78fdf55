#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace ruvo::gui {

// SIGTERM and SIGINT turned into a call on the event loop: the handler only writes a byte
// into a pipe, and the loop reads it, so the close sequence runs as ordinary code.
class StopSignals final : public QObject {
  Q_OBJECT
 public:
  explicit StopSignals(std::function<void()> onStop, QObject* parent = nullptr);
  ~StopSignals() override;
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  void Drain();

  std::function<void()> onStop_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace ruvo::gui
