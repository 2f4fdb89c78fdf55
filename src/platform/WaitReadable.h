#pragma once

#include <cstdint>
#include <initializer_list>

namespace ruvo {

// Sleeps for at most ms milliseconds, or until one of the descriptors is readable (or a
// signal interrupts the sleep). Negative descriptors are left out. True when one became
// readable.
bool WaitReadable(std::initializer_list<int> fds, std::int64_t ms);

}  // namespace ruvo
