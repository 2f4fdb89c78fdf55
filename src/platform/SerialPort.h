#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/PortOpenFailure.h"

namespace ruvo {

// The serial line to the ECR, as the link sees it. The real one is a termios device
// (PosixSerialPort); tests plug in the simulator in-process through the same interface.
class ISerialPort {
 public:
  virtual ~ISerialPort() = default;

  // Opens "COM<n>". Any failure (no such port, in use, bad settings) gives false.
  virtual bool Open(const std::string& portName) = 0;
  virtual void Close() = 0;
  virtual bool Connected() const = 0;
  // Why the last Open failed, when the port can tell; nullopt after a successful Open.
  virtual std::optional<PortOpenFailure> OpenFailure() const { return std::nullopt; }

  // Writes the whole buffer or fails.
  virtual bool Write(const std::uint8_t* data, std::size_t count) = 0;

  // Waits at most timeoutMs for received bytes, then reads what has arrived (at most
  // capacity bytes). Returns the number of bytes read; 0 when nothing arrived in time.
  // A device that has vanished also gives 0, after waiting the time out: to the link
  // that is an ECR that does not answer.
  virtual std::size_t Read(std::uint8_t* buffer, std::size_t capacity, int timeoutMs) = 0;

  // The time the line needs to carry one byte, rounded down; 0 for a port whose bytes
  // arrive as fast as they are written. The link leaves such a line alone for as long as
  // the bytes it still waits for take, so that one wake-up takes a whole stretch of them.
  virtual std::int64_t ByteTimeUs() const { return 0; }
};

}  // namespace ruvo
