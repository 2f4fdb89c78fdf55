#include "TerminalObserver.h"

#include "platform/Log.h"
#include "platform/ServiceNotify.h"

namespace ruvo {

void TerminalObserver::StateChanged() {
  const std::string label = driver_.ConnectedLabel();
  const std::string state = driver_.Closed()             ? "DRIVER INCHIS"
                            : driver_.State().processing ? "START PROCESARE"
                                                         : "STOP PROCESARE";
  if (label == label_ && state == state_) return;
  label_ = label;
  state_ = state;
  Log(LogLevel::Info, state + ", " + label);
  service_notify::Status(Text());
}

}  // namespace ruvo
