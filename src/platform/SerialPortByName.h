#pragma once

#include <memory>
#include <string>

#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/SerialPort.h"

namespace ruvo {

// The port the driver opens by its name: section "Porturi" of the settings decides, at
// every Open, whether "COM<n>" is a local device (COM1=/dev/ttyUSB0, a termios port) or a
// serial device server (COM1=tcp://HOST:PORT or rfc2217://HOST:PORT, a TcpSerialPort).
class SerialPortByName final : public ISerialPort {
 public:
  SerialPortByName(std::string settingsPath, IClock& clock, IEventPump& pump);
  ~SerialPortByName() override;

  bool Open(const std::string& portName) override;
  void Close() override;
  bool Connected() const override { return port_ && port_->Connected(); }
  std::optional<PortOpenFailure> OpenFailure() const override;
  bool Write(const std::uint8_t* data, std::size_t count) override;
  std::size_t Read(std::uint8_t* buffer, std::size_t capacity, int timeoutMs) override;
  std::int64_t ByteTimeUs() const override { return port_ ? port_->ByteTimeUs() : 0; }

 private:
  std::string settingsPath_;
  IClock& clock_;
  IEventPump& pump_;
  std::unique_ptr<ISerialPort> port_;
};

// The port the driver uses, for code that only knows ISerialPort. The clock and the event
// loop serve the waits of a network connection; without them, real time and no loop.
std::unique_ptr<ISerialPort> MakeSerialPort(const std::string& settingsPath, IClock& clock,
                                            IEventPump& pump);
std::unique_ptr<ISerialPort> MakeSerialPort(const std::string& settingsPath);

}  // namespace ruvo
