#include "SimSerialPort.h"

namespace xruvo_sim {

int ComPortNumber(const std::string& portName) {
  if (portName.size() < 4 || portName.size() > 6 || portName.compare(0, 3, "COM") != 0) return 0;
  int number = 0;
  for (std::size_t k = 3; k < portName.size(); ++k) {
    const char c = portName[k];
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
  }
  return number;
}

SimSerialPort::SimSerialPort(Engine& engine, ruvo::VirtualClock& clock)
    : engine_(engine), clock_(clock) {}

void SimSerialPort::SetPortRange(int first, int last) {
  first_ = first;
  last_ = last;
}

bool SimSerialPort::Open(const std::string& portName) {
  const int number = ComPortNumber(portName);
  // A vanished device is an adapter pulled from its socket: there is no port to open.
  if (open_ || number < first_ || number > last_ || number == 0 || engine_.Vanished()) return false;
  // Whatever the ECR sent while nobody listened is gone, as on a real line.
  engine_.DropPendingOutput();
  open_ = true;
  ++openCount_;
  portName_ = portName;
  return true;
}

void SimSerialPort::Close() { open_ = false; }

bool SimSerialPort::Write(const std::uint8_t* data, std::size_t count) {
  if (!open_) return false;
  engine_.Receive(data, count);
  return true;
}

std::size_t SimSerialPort::Read(std::uint8_t* buffer, std::size_t capacity, int timeoutMs) {
  if (timeoutMs < 0) timeoutMs = 0;
  if (!open_ || capacity == 0) {
    clock_.Advance(timeoutMs);
    return 0;
  }
  if (const std::size_t n = engine_.TakeDue(buffer, capacity)) return n;
  const std::int64_t nowMs = clock_.MonotonicMs();
  const auto next = engine_.NextDueUs();
  if (next && *next <= (nowMs + timeoutMs) * 1000) {
    const std::int64_t dueMs = (*next + 999) / 1000;  // the first whole millisecond it is due
    clock_.Advance(dueMs - nowMs);
    if (const std::size_t n = engine_.TakeDue(buffer, capacity)) return n;
  }
  clock_.Advance(nowMs + timeoutMs - clock_.MonotonicMs());
  return 0;
}

}  // namespace xruvo_sim
