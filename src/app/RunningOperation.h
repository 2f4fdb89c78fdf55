#pragma once

#include <cstdint>
#include <string>

#include "platform/Clock.h"

namespace ruvo {

class TXruvoLinux;

// The manual operation that holds the ECR now, whoever started it (a button, a dialog,
// the control socket). Requests that arrive during its waits read it: a status tells it,
// a second operation is refused with its name, a stop reaches its link.
struct RunningOperation {
  std::string name;  // empty while none runs
  LocalDateTime since;
  std::int64_t sinceMs = 0;     // its start on the monotonic clock, for how long it runs
  bool report = false;          // a printing report, which "5005" may stop
  TXruvoLinux* link = nullptr;  // its link while the port is open

  bool Active() const { return !name.empty(); }
};

}  // namespace ruvo
