#pragma once

#include <functional>

#include "app/Driver.h"
#include "platform/Clock.h"

namespace ruvo {

// The headless stand-in for the window's two 1000 ms timers: until stopRequested() says
// so, fires TcheckCOM's tick and then Tprocessor's once a second on the clock. Like window
// timers, ticks that fall due during a long operation are not queued up: one tick follows
// at once, then the rhythm resumes. stopRequested() is asked at least every 50 ms of
// waiting, so a stop signal is answered quickly. betweenTicks, when given, runs on every
// wake-up (at least every 50 ms): the control socket's requests are served there.
void RunTimerLoop(Driver& driver, IClock& clock, const std::function<bool()>& stopRequested,
                  const std::function<void()>& betweenTicks = {});

}  // namespace ruvo
