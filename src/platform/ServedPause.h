#pragma once

#include <cstdint>

#include "platform/Clock.h"
#include "platform/EventPump.h"

namespace ruvo {

// A pause that keeps the event loop served: it sleeps in the pump's slices and pumps
// between them, so a window repaints and the control socket answers while the driver
// waits. Whatever holds the driver busy during the pause stays held; only the sleep
// changes.
void ServedPause(IClock& clock, IEventPump& pump, std::int64_t ms);

}  // namespace ruvo
