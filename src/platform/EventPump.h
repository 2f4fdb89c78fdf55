#pragma once

namespace ruvo {

// Called by long waits (the ECR link's answer wait) between short blocking slices, so
// that a window stays responsive. Headless, nothing needs pumping.
class IEventPump {
 public:
  virtual ~IEventPump() = default;
  virtual void Pump() = 0;
};

class NullEventPump final : public IEventPump {
 public:
  void Pump() override {}
};

}  // namespace ruvo
