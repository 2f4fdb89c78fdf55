#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/PortOpenFailure.h"

namespace ruvo {

// Tells a port that does not open to the technician (standard error, the journal) and to the
// operator (a line of the warning box), once per change: the connection check fails every
// second, and the same reason again is news to no one. A port that opens again clears it.
class PortFailureReport {
 public:
  // The outcome of one attempt to open the port (nullopt: it opened, or the port cannot
  // say why not). True when the report changed, so that a window redraws.
  bool Update(const std::optional<PortOpenFailure>& failure, std::vector<std::string>& warningBox);

  const std::optional<PortOpenFailure>& Current() const { return current_; }

 private:
  std::optional<PortOpenFailure> current_;
};

}  // namespace ruvo
