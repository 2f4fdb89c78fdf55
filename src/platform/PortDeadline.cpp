#include "platform/PortDeadline.h"

#include <poll.h>

#include <chrono>

namespace ruvo {

std::int64_t PortNowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int PortRemainingMs(std::int64_t deadline) {
  const std::int64_t left = deadline - PortNowMs();
  if (left <= 0) return 0;
  return left > 0x7fffffff ? 0x7fffffff : static_cast<int>(left);
}

void PortSleepUntil(std::int64_t deadline) {
  for (int left = PortRemainingMs(deadline); left > 0; left = PortRemainingMs(deadline)) {
    ::poll(nullptr, 0, left);
  }
}

}  // namespace ruvo
