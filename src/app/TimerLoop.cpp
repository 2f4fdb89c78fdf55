#include "app/TimerLoop.h"

#include <algorithm>
#include <cstdint>

namespace ruvo {

namespace {
constexpr std::int64_t kStopPollMs = 50;
}

void RunTimerLoop(Driver& driver, IClock& clock, const std::function<bool()>& stopRequested,
                  const std::function<void()>& betweenTicks) {
  std::int64_t nextTickMs = clock.MonotonicMs() + Driver::kTimerIntervalMs;
  while (!stopRequested()) {
    if (betweenTicks) betweenTicks();
    const std::int64_t now = clock.MonotonicMs();
    if (now < nextTickMs) {
      clock.SleepMs(std::min(kStopPollMs, nextTickMs - now));
      continue;
    }
    const std::int64_t tickStart = now;
    driver.TcheckComTick();
    if (stopRequested()) break;
    driver.TprocessorTick();
    nextTickMs = tickStart + Driver::kTimerIntervalMs;
  }
}

}  // namespace ruvo
