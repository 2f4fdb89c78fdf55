#include "app/TimerLoop.h"

#include <algorithm>

namespace ruvo {

void RunTimerLoop(Driver& driver, IClock& clock, const std::function<bool()>& stopRequested,
                  const LoopWait& wait, const std::function<void()>& betweenTicks) {
  std::int64_t nextTickMs = clock.MonotonicMs() + Driver::kTimerIntervalMs;
  while (!stopRequested()) {
    if (betweenTicks) betweenTicks();
    driver.ReceiptArrived();
    if (stopRequested()) break;
    const std::int64_t now = clock.MonotonicMs();
    if (now < nextTickMs) {
      if (!driver.ArrivalPending()) {
        wait(std::min(nextTickMs - now, driver.NextArrivalInMs().value_or(nextTickMs - now)));
      }
      continue;
    }
    const std::int64_t tickStart = now;
    driver.TcheckComTick();
    if (stopRequested()) break;
    driver.TprocessorTick();
    nextTickMs = tickStart + Driver::kTimerIntervalMs;
  }
}

void RunTimerLoop(Driver& driver, IClock& clock, const std::function<bool()>& stopRequested) {
  RunTimerLoop(driver, clock, stopRequested, [&clock](std::int64_t ms) { clock.SleepMs(ms); });
}

}  // namespace ruvo
