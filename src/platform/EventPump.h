#pragma once

namespace ruvo {

// Called by long waits (the ECR link's answer wait) between short blocking slices, so
// that a window stays responsive. Headless, nothing needs pumping.
class IEventPump {
 public:
  virtual ~IEventPump() = default;
  virtual void Pump() = 0;
  // The longest a wait may block between two calls of Pump: short enough for a window to
  // feel responsive.
  virtual int SliceMs() const { return 50; }
};

// Headless there is nothing to pump, so a wait may block for as long as it likes: fewer
// wake-ups keep the CPU idle while the ECR thinks.
class NullEventPump final : public IEventPump {
 public:
  void Pump() override {}
  int SliceMs() const override { return 1000; }
};

}  // namespace ruvo
