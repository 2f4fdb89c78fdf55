#pragma once

#include <memory>
#include <string>

#include "app/Operator.h"
#include "ecr/TXruvoLinux.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/SerialPort.h"

namespace ruvo {

// Makes the serial port of each new ECR link. The product makes termios ports; tests hand
// in the simulator.
class IPortFactory {
 public:
  virtual ~IPortFactory() = default;
  virtual std::unique_ptr<ISerialPort> MakePort() = 0;
};

// Ports that find their device, or their serial device server, through the "Porturi"
// section of the settings file. A connection's waits go by the clock and serve the loop.
class PosixPortFactory final : public IPortFactory {
 public:
  PosixPortFactory(std::string settingsPath, IClock& clock, IEventPump& pump)
      : settingsPath_(std::move(settingsPath)), clock_(clock), pump_(pump) {}
  // Real time, and no loop to serve.
  explicit PosixPortFactory(std::string settingsPath);
  std::unique_ptr<ISerialPort> MakePort() override;

 private:
  std::string settingsPath_;
  IClock& clock_;
  IEventPump& pump_;
};

// What the driver needs from its surroundings: time, a way to keep a window responsive
// during long waits, the person at the machine, and serial ports.
struct DriverContext {
  IClock& clock;
  IEventPump& pump;
  IOperator& op;
  IPortFactory& ports;

  // A fresh link object for one operation, on a fresh port, not yet opened.
  std::unique_ptr<TXruvoLinux> MakeLink() const;
};

}  // namespace ruvo
