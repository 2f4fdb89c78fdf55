#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/SerialPort.h"

namespace ruvo {

// The ECR's serial line on a termios device: 115,200 bit/s, 8N1, raw, RTS/CTS handshake,
// no XON/XOFF, DTR and RTS raised. The port is held exclusively (TIOCEXCL and a flock), so
// a port that another program holds does not open. Closing (or destroying) the object
// releases the device and the lock.
class PosixSerialPort final : public ISerialPort {
 public:
  // settingsPath: XRUVODRV.INI, read at every Open for the "Porturi" mapping.
  explicit PosixSerialPort(std::string settingsPath);
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  bool Open(const std::string& portName) override;
  void Close() override;
  bool Connected() const override { return fd_ >= 0; }
  std::optional<PortOpenFailure> OpenFailure() const override { return openFailure_; }
  bool Write(const std::uint8_t* data, std::size_t count) override;
  std::size_t Read(std::uint8_t* buffer, std::size_t capacity, int timeoutMs) override;
  // 10 bits a byte (8N1) at 115,200 bit/s.
  std::int64_t ByteTimeUs() const override { return 10 * 1'000'000 / 115'200; }

  // The device path of the open port (empty while closed), for log lines.
  const std::string& DevicePath() const { return devicePath_; }

  // The write deadline: 100 ms per byte plus 1000 ms.
  static std::int64_t WriteTimeoutMs(std::size_t count);

 private:
  bool Configure();
  // Notes why Open failed; always false.
  bool Failed(const std::string& portName, const std::string& device, int error);

  std::string settingsPath_;
  std::string devicePath_;
  int fd_ = -1;
  std::optional<PortOpenFailure> openFailure_;
};

}  // namespace ruvo
