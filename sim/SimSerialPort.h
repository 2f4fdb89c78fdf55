#pragma once

#include <string>

#include "Engine.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

namespace xruvo_sim {

// A serial port wired in-process to a simulated ECR, in virtual time: a read that finds
// nothing due moves the clock to the next answer byte when that falls within the
// time-out, so minutes of ECR work take no real time at all.
class SimSerialPort final : public ruvo::ISerialPort {
 public:
  SimSerialPort(Engine& engine, ruvo::VirtualClock& clock);

  // Which "COM<n>" open: by default any of 1 to 16.
  void SetPortRange(int first, int last);
  int OpenCount() const { return openCount_; }
  const std::string& PortName() const { return portName_; }

  bool Open(const std::string& portName) override;
  void Close() override;
  bool Connected() const override { return open_; }
  bool Write(const std::uint8_t* data, std::size_t count) override;
  std::size_t Read(std::uint8_t* buffer, std::size_t capacity, int timeoutMs) override;

 private:
  Engine& engine_;
  ruvo::VirtualClock& clock_;
  int first_ = 1;
  int last_ = 16;
  bool open_ = false;
  int openCount_ = 0;
  std::string portName_;
};

// Parses "COM<n>"; 0 when the name is not of that shape.
int ComPortNumber(const std::string& portName);

}  // namespace xruvo_sim
