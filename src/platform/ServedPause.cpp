#include "platform/ServedPause.h"

#include <algorithm>

namespace ruvo {

void ServedPause(IClock& clock, IEventPump& pump, std::int64_t ms) {
  const std::int64_t end = clock.MonotonicMs() + ms;
  const std::int64_t slice = std::max(1, pump.SliceMs());
  // Served first: what the work just before has finished (an answer someone waits for)
  // is handed over now, not a slice later.
  for (;;) {
    pump.Pump();
    const std::int64_t left = end - clock.MonotonicMs();
    if (left <= 0) break;
    clock.SleepMs(std::min(left, slice));
  }
}

}  // namespace ruvo
