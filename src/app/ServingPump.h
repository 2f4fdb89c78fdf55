#pragma once

#include <functional>

#include "platform/EventPump.h"

namespace ruvo {

// The headless driver's event pump: its waits (an ECR answer, the pause after a file) serve
// the control socket, so a request arriving meanwhile is answered then and not after the
// work. Slices are short enough for a status to come back at once.
class ServingPump final : public IEventPump {
 public:
  static constexpr int kSliceMs = 100;

  void Serve(std::function<void()> work) { work_ = std::move(work); }
  void Pump() override {
    if (work_) work_();
  }
  // With nothing to serve, a wait may block as long as it likes.
  int SliceMs() const override { return work_ ? kSliceMs : 1000; }

 private:
  std::function<void()> work_;
};

}  // namespace ruvo
