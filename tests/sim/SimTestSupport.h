#pragma once

#include <cstdint>
#include <string>

#include "Engine.h"
#include "SimSerialPort.h"
#include "platform/Clock.h"

namespace xruvo_sim::test {

// STX "000" text checksum ETX, built independently of the simulator's own codec.
inline std::string Frame(const std::string& text) {
  const std::string body = "000" + text;
  unsigned sum = 0;
  for (unsigned char c : body) sum += c;
  const unsigned rest = sum % 100;
  std::string out = "\x02" + body;
  out.push_back(static_cast<char>('0' + rest / 10));
  out.push_back(static_cast<char>('0' + rest % 10));
  out.push_back('\x03');
  return out;
}

// What the driver takes as the data: offsets 9 to length - 4.
inline std::string DataOf(const std::string& answer) {
  if (answer.size() <= 12) return {};
  return answer.substr(9, answer.size() - 12);
}

// A simulated ECR on an open in-process port, and a driver-like exchange over it.
class SimBench {
 public:
  explicit SimBench(SimConfig config = {})
      : engine(clock, nullptr, std::move(config)), port(engine, clock) {
    port.Open("COM1");
  }

  // Writes a request and collects bytes until an answer is complete by the driver's
  // rules (11 or more bytes starting with ACK and ending with ETX), a lone NAK has
  // stood for the time-out, or nothing arrived for timeoutMs.
  std::string Exchange(const std::string& text, int timeoutMs = 5000) {
    const std::string frame = Frame(text);
    port.Write(reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size());
    return Collect(timeoutMs);
  }

  std::string Collect(int timeoutMs = 5000) {
    std::string got;
    std::uint8_t buffer[1000];
    for (;;) {
      const std::size_t n = port.Read(buffer, sizeof buffer, timeoutMs);
      if (n == 0) return got;
      got.append(reinterpret_cast<char*>(buffer), n);
      if (got.size() >= 11 && got[0] == '\x06' && got.back() == '\x03') return got;
    }
  }

  // The data of a successful answer; "ERRnn" for an error answer, as the driver reads it.
  std::string Data(const std::string& text) {
    const std::string answer = Exchange(text);
    if (answer.size() >= 10 && answer.compare(5, 3, "ERR") == 0) return answer.substr(5, 5);
    return DataOf(answer);
  }

  ruvo::VirtualClock clock;
  Engine engine;
  SimSerialPort port;
};

}  // namespace xruvo_sim::test
