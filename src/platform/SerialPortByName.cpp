#include "platform/SerialPortByName.h"

#include <unistd.h>

#include <utility>

#include "platform/NetworkAddress.h"
#include "platform/PortNames.h"
#include "platform/PosixSerialPort.h"
#include "platform/TcpSerialPort.h"

namespace ruvo {

SerialPortByName::SerialPortByName(std::string settingsPath, IClock& clock, IEventPump& pump)
    : settingsPath_(std::move(settingsPath)), clock_(clock), pump_(pump) {}

SerialPortByName::~SerialPortByName() { Close(); }

bool SerialPortByName::Open(const std::string& portName) {
  Close();
  const bool network =
      ParsePortNumber(portName) && NamesNetwork(ReadPortEntry(settingsPath_, portName));
  if (network) {
    port_ = std::make_unique<TcpSerialPort>(settingsPath_, clock_, pump_);
  } else {
    port_ = std::make_unique<PosixSerialPort>(settingsPath_);
  }
  return port_->Open(portName);
}

void SerialPortByName::Close() {
  if (port_) port_->Close();
}

std::optional<PortOpenFailure> SerialPortByName::OpenFailure() const {
  return port_ ? port_->OpenFailure() : std::nullopt;
}

bool SerialPortByName::Write(const std::uint8_t* data, std::size_t count) {
  return port_ && port_->Write(data, count);
}

std::size_t SerialPortByName::Read(std::uint8_t* buffer, std::size_t capacity, int timeoutMs) {
  if (port_) return port_->Read(buffer, capacity, timeoutMs);
  // No port was ever opened: nothing can arrive, as on a closed local port.
  PosixSerialPort closed("");
  return closed.Read(buffer, capacity, timeoutMs);
}

std::unique_ptr<ISerialPort> MakeSerialPort(const std::string& settingsPath, IClock& clock,
                                            IEventPump& pump) {
  return std::make_unique<SerialPortByName>(settingsPath, clock, pump);
}

std::unique_ptr<ISerialPort> MakeSerialPort(const std::string& settingsPath) {
  static NullEventPump noLoop;
  return MakeSerialPort(settingsPath, DefaultClock(), noLoop);
}

}  // namespace ruvo
