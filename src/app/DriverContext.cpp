#include "app/DriverContext.h"

#include "platform/SerialPortByName.h"

namespace ruvo {

namespace {

IEventPump& NoLoop() {
  static NullEventPump pump;
  return pump;
}

}  // namespace

PosixPortFactory::PosixPortFactory(std::string settingsPath)
    : PosixPortFactory(std::move(settingsPath), DefaultClock(), NoLoop()) {}

std::unique_ptr<ISerialPort> PosixPortFactory::MakePort() {
  return MakeSerialPort(settingsPath_, clock_, pump_);
}

std::unique_ptr<TXruvoLinux> DriverContext::MakeLink() const {
  return std::make_unique<TXruvoLinux>(ports.MakePort(), clock, pump);
}

}  // namespace ruvo
