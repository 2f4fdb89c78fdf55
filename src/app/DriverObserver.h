#pragma once

namespace ruvo {

// Told whenever something a window shows has changed: processing, the connected label, the
// warning box, the timers. The observer reads what it needs from the driver.
class IDriverObserver {
 public:
  virtual ~IDriverObserver() = default;
  virtual void StateChanged() = 0;
};

}  // namespace ruvo
