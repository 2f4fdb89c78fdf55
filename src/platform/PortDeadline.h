#pragma once

#include <cstdint>

namespace ruvo {

// Deadlines of one read or write on a port (the termios port and the network one), on the
// monotonic clock: these waits are the port's own, below the link's injectable clock.
std::int64_t PortNowMs();
// Milliseconds left until deadline, for poll: 0 when it has passed.
int PortRemainingMs(std::int64_t deadline);
// A vanished device or a broken connection must look like a silent ECR to the link, which
// then retries on its own schedule: the time out is slept away, not spun on a dead
// descriptor.
void PortSleepUntil(std::int64_t deadline);

}  // namespace ruvo
