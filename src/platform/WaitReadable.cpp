#include "platform/WaitReadable.h"

#include <poll.h>

#include <algorithm>
#include <ctime>
#include <iterator>

namespace ruvo {

bool WaitReadable(std::initializer_list<int> fds, std::int64_t ms) {
  pollfd polled[8];
  nfds_t count = 0;
  for (const int fd : fds) {
    if (fd >= 0 && count < std::size(polled)) polled[count++] = pollfd{fd, POLLIN, 0};
  }
  const std::int64_t wait = std::max<std::int64_t>(ms, 0);
  const timespec timeout{static_cast<std::time_t>(wait / 1000),
                         static_cast<long>(wait % 1000) * 1000000L};
  return ::ppoll(polled, count, &timeout, nullptr) > 0;
}

}  // namespace ruvo
