#include "app/DriverContext.h"

#include "platform/PosixSerialPort.h"

namespace ruvo {

std::unique_ptr<ISerialPort> PosixPortFactory::MakePort() { return MakeSerialPort(settingsPath_); }

std::unique_ptr<TXruvoLinux> DriverContext::MakeLink() const {
  return std::make_unique<TXruvoLinux>(ports.MakePort(), clock, pump);
}

}  // namespace ruvo
