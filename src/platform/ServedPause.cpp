#include "platform/ServedPause.h"

#include <algorithm>

namespace ruvo {

void ServedPause(IClock& clock, IEventPump& pump, std::int64_t ms) {
  const std::int64_t end = clock.MonotonicMs() + ms;
  const std::int64_t slice = std::max(1, pump.SliceMs());
  for (;;) {
    const std::int64_t left = end - clock.MonotonicMs();
    if (left <= 0) break;
    clock.SleepMs(std::min(left, slice));
    pump.Pump();
  }
}

}  // namespace ruvo
