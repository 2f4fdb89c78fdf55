#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/NetworkAddress.h"
#include "platform/Rfc2217Session.h"
#include "platform/SerialPort.h"
#include "platform/TcpConnect.h"

namespace ruvo {

// The ECR's serial line behind a serial device server: "tcp://" (the box passes the bytes
// as they are; its own settings set the line) or "rfc2217://" (telnet; the line is set from
// here as on a local port, and the box's buffers are purged on open). To the link it is a
// port like any other: the frames, time-outs and answers stay the link's. A connection that
// drops is an ECR that does not answer: reads wait their time out and give nothing, writes
// fail, and the next operation connects afresh.
class TcpSerialPort final : public ISerialPort {
 public:
  // The longest a connection (and the RFC 2217 agreement after it) may take.
  static constexpr std::int64_t kConnectTimeoutMs = 3000;
  static constexpr std::int64_t kNegotiationTimeoutMs = 3000;
  // A raw server that turns a client away does so as soon as it has accepted it: how long
  // the port listens for that after connecting.
  static constexpr std::int64_t kRefusalWaitMs = 60;

  // settingsPath: XRUVODRV.INI, read at every Open for the "Porturi" mapping.
  TcpSerialPort(std::string settingsPath, IClock& clock, IEventPump& pump);
  ~TcpSerialPort() override;
  TcpSerialPort(const TcpSerialPort&) = delete;
  TcpSerialPort& operator=(const TcpSerialPort&) = delete;

  bool Open(const std::string& portName) override;
  void Close() override;
  bool Connected() const override { return fd_ >= 0; }
  std::optional<PortOpenFailure> OpenFailure() const override { return openFailure_; }
  bool Write(const std::uint8_t* data, std::size_t count) override;
  std::size_t Read(std::uint8_t* buffer, std::size_t capacity, int timeoutMs) override;

  // The address of the open port (nullopt while closed), and what an RFC 2217 server said.
  const std::optional<NetworkAddress>& Address() const { return address_; }
  std::optional<std::uint32_t> ConfirmedBaudRate() const;
  std::optional<std::uint8_t> ModemState() const;

 private:
  bool Negotiate(std::int64_t deadlineMs);
  bool AwaitRefusal(std::int64_t deadlineMs);
  // One receive: the data bytes appended to data; false when the connection has ended.
  bool ReceiveOnce(std::vector<std::uint8_t>& data);
  // Sends all of bytes; waitWritable waits for room in the socket, false once it is time
  // to give up. The second form waits until deadlineMs on the clock, serving the loop.
  bool SendAll(const std::string& bytes, const std::function<bool()>& waitWritable);
  bool SendAll(const std::string& bytes, std::int64_t deadlineMs);
  // The server turned us away: the text it sent says why (ser2net: "Port already in use").
  bool Refused(const std::string& said);
  // Notes why Open failed (where: the address, or the entry that is none); always false.
  bool Failed(const std::string& where, int error, const std::string& detail = "");

  std::string settingsPath_;
  std::string portName_;  // of the last Open
  IClock& clock_;
  IEventPump& pump_;
  int fd_ = -1;
  bool lost_ = false;  // the server ended the connection, or it broke
  std::optional<NetworkAddress> address_;
  std::unique_ptr<Rfc2217Session> telnet_;
  std::vector<std::uint8_t> pending_;  // data received but not yet read
  NetworkPortLock lock_;
  std::optional<PortOpenFailure> openFailure_;
};

}  // namespace ruvo
