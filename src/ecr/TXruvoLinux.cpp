#include "ecr/TXruvoLinux.h"

namespace ruvo {

TXruvoLinux::TXruvoLinux(std::unique_ptr<ISerialPort> port, IClock& clock, IEventPump& pump)
    : frame_(std::move(port), clock, pump) {}

TXruvoLinux::~TXruvoLinux() = default;

bool TXruvoLinux::StoppedBeforeReport() {
  if (!frame_.StopRequested()) return false;
  frame_.SetError(kErrInterrupted);
  return true;
}

}  // namespace ruvo
