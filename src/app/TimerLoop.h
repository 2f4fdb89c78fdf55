#pragma once

#include <cstdint>
#include <functional>

#include "app/Driver.h"
#include "platform/Clock.h"

namespace ruvo {

// Blocks for at most the given milliseconds of the loop's clock, and returns early when
// something may need the driver: a receipt file arrived, a stop signal came. The headless
// driver sleeps in ppoll on its descriptors; tests wait on a virtual clock.
using LoopWait = std::function<void(std::int64_t ms)>;

// The headless stand-in for the window's two 1000 ms timers: until stopRequested() says
// so, fires TcheckCOM's tick and then Tprocessor's once a second on the clock. Like window
// timers, ticks that fall due during a long operation are not queued up: one tick follows
// at once, then the rhythm resumes. Between ticks it sleeps in wait and, after every
// wake, hands the driver what its folder watch saw (immediate pickup); it wakes earlier
// when a file written in place will have been quiet long enough (NextArrivalInMs).
// stopRequested() is asked after every wake, so a wait that a stop signal interrupts ends
// the loop at once.
// betweenTicks, when given, also runs after every wake: the control socket's requests are
// served there, so the wait must wake for its descriptor too.
void RunTimerLoop(Driver& driver, IClock& clock, const std::function<bool()>& stopRequested,
                  const LoopWait& wait, const std::function<void()>& betweenTicks = {});

// As above, sleeping on the clock alone.
void RunTimerLoop(Driver& driver, IClock& clock, const std::function<bool()>& stopRequested);

}  // namespace ruvo
