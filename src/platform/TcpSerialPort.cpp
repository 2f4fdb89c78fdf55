#include "platform/TcpSerialPort.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>

#include "platform/PortDeadline.h"
#include "platform/PortNames.h"
#include "platform/PosixSerialPort.h"

namespace ruvo {

namespace {

// The printable part of what a server said before it closed, for a message.
std::string Printable(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  for (std::uint8_t b : bytes) {
    if (b >= 0x20 && b < 0x7F)
      text += static_cast<char>(b);
    else if (!text.empty() && text.back() != ' ')
      text += ' ';
    if (text.size() >= 120) break;
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// A server that writes an answer in small pieces (ser2net passes on what the line has
// given so far) holds each piece back until the one before is acknowledged (Nagle); an
// acknowledgement delayed by the kernel, as it may be by up to 40 ms, would then stall
// every answer. The kernel forgets this after a while, so it is asked again at each read.
void AckAtOnce(int fd) {
  const int on = 1;
  static_cast<void>(::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on));
}

}  // namespace

TcpSerialPort::TcpSerialPort(std::string settingsPath, IClock& clock, IEventPump& pump)
    : settingsPath_(std::move(settingsPath)), clock_(clock), pump_(pump) {}

TcpSerialPort::~TcpSerialPort() { Close(); }

bool TcpSerialPort::Open(const std::string& portName) {
  Close();
  openFailure_.reset();
  portName_ = portName;
  if (!ParsePortNumber(portName)) return Failed("", EINVAL);
  const std::string entry = ReadPortEntry(settingsPath_, portName);
  const std::optional<NetworkAddress> address = ParseNetworkAddress(entry);
  if (!address) return Failed(entry.empty() ? "(none)" : entry, EINVAL);
  const TcpConnection connection = ConnectTcp(*address, kConnectTimeoutMs, lock_, clock_, pump_);
  if (connection.fd < 0) {
    return Failed(address->Text(), connection.error,
                  connection.error == EBUSY ? "another driver on this machine" : "");
  }
  fd_ = connection.fd;
  address_ = address;
  lost_ = false;
  if (address->protocol == NetworkProtocol::Rfc2217) {
    telnet_ = std::make_unique<Rfc2217Session>();
    if (!Negotiate(clock_.MonotonicMs() + kNegotiationTimeoutMs)) return false;
  } else if (!AwaitRefusal(clock_.MonotonicMs() + kRefusalWaitMs)) {
    return false;
  }
  // Whatever came before the line was ours belongs to no answer of ours.
  pending_.clear();
  return true;
}

bool TcpSerialPort::Negotiate(std::int64_t deadlineMs) {
  bool setupSent = false;
  if (!SendAll(telnet_->Greeting(), deadlineMs)) return Refused(Printable(pending_));
  for (;;) {
    if (telnet_->ComPortRefused()) {
      return Failed(address_->Text(), EPROTONOSUPPORT);
    }
    if (telnet_->ComPortAccepted() && !setupSent) {
      if (!SendAll(telnet_->LineSetup(), deadlineMs)) return Refused(Printable(pending_));
      setupSent = true;
    }
    if (setupSent && telnet_->LineConfirmed()) break;
    if (WaitSocket(fd_, POLLIN, deadlineMs, clock_, pump_) == 0) {
      return Failed(address_->Text(), ETIMEDOUT,
                    "no RFC 2217 answer (is its port in RFC 2217 mode, or a raw one?)");
    }
    if (!ReceiveOnce(pending_)) return Refused(Printable(pending_));
  }
  const std::optional<std::uint32_t> baud = telnet_->ConfirmedBaudRate();
  if (baud && *baud != 0 && *baud != ComPortLine{}.baudRate) {
    return Failed(address_->Text(), EINVAL,
                  "the server keeps the line at " + std::to_string(*baud) + " bit/s");
  }
  return true;
}

bool TcpSerialPort::AwaitRefusal(std::int64_t deadlineMs) {
  while (WaitSocket(fd_, POLLIN, deadlineMs, clock_, pump_) != 0) {
    if (!ReceiveOnce(pending_)) return Refused(Printable(pending_));
  }
  return true;
}

bool TcpSerialPort::Refused(const std::string& said) {
  // ser2net says "Port already in use" (or "Port's device already in use") to a second client.
  const bool inUse = said.find("in use") != std::string::npos;
  return Failed(address_->Text(), inUse ? EBUSY : ECONNRESET, said);
}

bool TcpSerialPort::Failed(const std::string& where, int error, const std::string& detail) {
  Close();
  openFailure_ = PortOpenFailure{portName_, where, error, detail, "", false};
  return false;
}

void TcpSerialPort::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  lock_.Release();
  address_.reset();
  telnet_.reset();
  pending_.clear();
  lost_ = false;
}

bool TcpSerialPort::ReceiveOnce(std::vector<std::uint8_t>& data) {
  std::uint8_t raw[4096];
  for (;;) {
    const ssize_t n = ::recv(fd_, raw, sizeof raw, 0);
    if (n > 0) {
      AckAtOnce(fd_);
      const std::size_t count = static_cast<std::size_t>(n);
      if (!telnet_) {
        data.insert(data.end(), raw, raw + count);
        return true;
      }
      const std::string answer = telnet_->Receive(raw, count, data);
      if (!answer.empty()) {
        static_cast<void>(::send(fd_, answer.data(), answer.size(), MSG_NOSIGNAL));
      }
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    lost_ = true;  // closed by the server (0), or reset
    return false;
  }
}

bool TcpSerialPort::SendAll(const std::string& bytes, const std::function<bool()>& waitWritable) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      lost_ = true;  // EPIPE, ECONNRESET: the server is gone
      return false;
    }
    if (!waitWritable()) return false;
  }
  return true;
}

bool TcpSerialPort::SendAll(const std::string& bytes, std::int64_t deadlineMs) {
  return SendAll(bytes, [&] { return WaitSocket(fd_, POLLOUT, deadlineMs, clock_, pump_) != 0; });
}

bool TcpSerialPort::Write(const std::uint8_t* data, std::size_t count) {
  if (fd_ < 0 || lost_) return false;
  if (count == 0) return true;
  if (data == nullptr) return false;
  const std::string bytes = telnet_ ? telnet_->Encode(data, count)
                                    : std::string(reinterpret_cast<const char*>(data), count);
  // The deadline of a local port's write: a server that takes nothing is a line held up.
  const std::int64_t deadline = PortNowMs() + PosixSerialPort::WriteTimeoutMs(count);
  return SendAll(bytes, [&] {
    const int left = PortRemainingMs(deadline);
    if (left == 0) return false;
    pollfd p{fd_, POLLOUT, 0};
    return ::poll(&p, 1, left) >= 0 || errno == EINTR;
  });
}

std::size_t TcpSerialPort::Read(std::uint8_t* buffer, std::size_t capacity, int timeoutMs) {
  const std::int64_t deadline = PortNowMs() + (timeoutMs > 0 ? timeoutMs : 0);
  if (buffer == nullptr || capacity == 0) {
    PortSleepUntil(deadline);
    return 0;
  }
  for (;;) {
    if (!pending_.empty()) {
      const std::size_t count = std::min(capacity, pending_.size());
      std::memcpy(buffer, pending_.data(), count);
      pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
      return count;
    }
    if (fd_ < 0 || lost_) break;
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, PortRemainingMs(deadline));
    if (ready == 0) return 0;  // nothing arrived in time
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    // Data still buffered comes first, even when the server has closed meanwhile; telnet
    // commands alone give no data, and the wait goes on.
    if (!ReceiveOnce(pending_) && pending_.empty()) break;
  }
  PortSleepUntil(deadline);
  return 0;
}

std::optional<std::uint32_t> TcpSerialPort::ConfirmedBaudRate() const {
  return telnet_ ? telnet_->ConfirmedBaudRate() : std::nullopt;
}

std::optional<std::uint8_t> TcpSerialPort::ModemState() const {
  return telnet_ ? telnet_->ModemState() : std::nullopt;
}

}  // namespace ruvo
