#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/TempFolder.h"
#include "support/ChildProcess.h"

namespace ruvo::e2e {

// A free TCP port on the loopback, for a server about to listen on it.
std::uint16_t FreeLoopbackPort();

// Whether Debian's ser2net is installed; the tests of the network skip without it.
bool Ser2NetInstalled();
inline const char* kNoSer2Net = "ser2net is not installed (apt-get install ser2net): skipped";

// ser2net, the software serial device server, in front of a device: one raw TCP accepter
// and one telnet(rfc2217) accepter on free loopback ports, both for the same device (so
// only one of them can be used at a time), as a shop's box would offer them.
class DeviceServer {
 public:
  // device: the simulator's link; baud: the line the raw accepter sets (RFC 2217 clients
  // set their own; its accepter starts at 9600 so that a client that sets nothing shows).
  explicit DeviceServer(const std::string& device, const std::string& rawLine = "115200n81");
  ~DeviceServer();

  bool Start();
  // SIGKILL, as a box that loses power; the ports stay the same for a Start again.
  bool Kill();

  std::uint16_t RawPort() const { return rawPort_; }
  std::uint16_t TelnetPort() const { return telnetPort_; }
  std::string RawUrl() const { return "tcp://127.0.0.1:" + std::to_string(rawPort_); }
  std::string Rfc2217Url() const { return "rfc2217://127.0.0.1:" + std::to_string(telnetPort_); }
  std::string Messages() const;

 private:
  std::string device_;
  std::string rawLine_;
  ruvo::testing::TempFolder folder_;
  std::uint16_t rawPort_ = 0;
  std::uint16_t telnetPort_ = 0;
  ruvo::testing::ChildProcess process_;
};

// A TCP proxy on a free loopback port in front of another: it forwards both ways until
// Stall, after which it keeps both connections open and forwards nothing more, as a cable
// pulled behind a switch leaves them (no end learns anything). Resume is the network back
// after the ends have given the old connections up: those are cut, and new connections are
// forwarded as before.
class StallingProxy {
 public:
  // ipv6: listens on ::1 instead of 127.0.0.1 (Port() is 0 when the machine has no ::1).
  explicit StallingProxy(std::uint16_t target, bool ipv6 = false);
  ~StallingProxy();

  std::uint16_t Port() const { return port_; }
  std::string Url(const std::string& scheme) const {
    return scheme + (ipv6_ ? "://[::1]:" : "://127.0.0.1:") + std::to_string(port_);
  }
  void Stall() { stalled_ = true; }
  void Resume() { cutAll_ = true; }
  // Bytes forwarded from the client to the server so far.
  std::size_t ForwardedUp() const { return forwardedUp_; }

 private:
  void Serve();

  std::uint16_t target_;
  bool ipv6_;
  std::uint16_t port_ = 0;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  std::atomic<bool> stalled_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> cutAll_{false};
  std::atomic<std::size_t> forwardedUp_{0};
  std::thread thread_;
};

}  // namespace ruvo::e2e
