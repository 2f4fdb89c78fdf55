#include "platform/TcpConnect.h"

#include "platform/NameLookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <memory>

namespace ruvo {

namespace {

// Keep-alive: a connection idle for 10 s is probed every 5 s, and given up after 3 probes
// unanswered. Sent data unacknowledged for 20 s ends the connection too.
constexpr int kKeepIdleS = 10;
constexpr int kKeepIntervalS = 5;
constexpr int kKeepCount = 3;
constexpr unsigned kUserTimeoutMs = 20000;

void SetOption(int fd, int level, int name, int value) {
  static_cast<void>(::setsockopt(fd, level, name, &value, sizeof value));
}

void TuneSocket(int fd) {
  SetOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
  SetOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
  SetOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, kKeepIdleS);
  SetOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kKeepIntervalS);
  SetOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepCount);
  SetOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, static_cast<int>(kUserTimeoutMs));
}

int ResolveError(int code) {
  switch (code) {
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
    case EAI_FAIL:
    case EAI_ADDRFAMILY:
      return ENOENT;
    case EAI_AGAIN:
      return EAGAIN;
    case EAI_SYSTEM:
      return errno != 0 ? errno : EIO;
    default:
      return EINVAL;
  }
}

std::string NumericHost(const sockaddr* address, socklen_t length) {
  char host[NI_MAXHOST] = {};
  if (::getnameinfo(address, length, host, sizeof host, nullptr, 0, NI_NUMERICHOST) != 0) {
    return std::string();
  }
  return host;
}

// One address: 0 and the descriptor in fd, or the errno of the failure.
int ConnectOne(const addrinfo& ai, std::int64_t deadlineMs, IClock& clock, IEventPump& pump,
               int& fd) {
  fd = ::socket(ai.ai_family, ai.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai.ai_protocol);
  if (fd < 0) return errno;
  int error = 0;
  if (::connect(fd, ai.ai_addr, ai.ai_addrlen) != 0) {
    error = errno;
    if (error == EINPROGRESS || error == EINTR) {
      const short ready = WaitSocket(fd, POLLOUT, deadlineMs, clock, pump);
      socklen_t size = sizeof error;
      if (ready == 0) {
        error = ETIMEDOUT;
      } else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        error = errno;
      }
    }
  }
  if (error != 0) {
    ::close(fd);
    fd = -1;
  }
  return error;
}

}  // namespace

short WaitSocket(int fd, short events, std::int64_t deadlineMs, IClock& clock, IEventPump& pump) {
  for (;;) {
    const std::int64_t now = clock.MonotonicMs();
    if (now >= deadlineMs) return 0;
    const int slice = static_cast<int>(std::min<std::int64_t>(deadlineMs - now, pump.SliceMs()));
    pollfd p{fd, events, 0};
    const int ready = ::poll(&p, 1, slice);
    if (ready > 0) return p.revents;
    if (ready < 0 && errno != EINTR) return POLLERR;
    // A clock that does not follow real time (a test's) is moved by the slice waited.
    if (ready == 0 && clock.MonotonicMs() == now) clock.SleepMs(slice);
    pump.Pump();
  }
}

bool NetworkPortLock::Acquire(const std::string& peer, std::uint16_t port) {
  Release();
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // The abstract namespace: a name that starts with NUL, in no folder.
  const std::string name = "ruvo-drv-ecr " + peer + " " + std::to_string(port);
  const std::size_t length = std::min(name.size(), sizeof address.sun_path - 1);
  std::memcpy(address.sun_path + 1, name.data(), length);
  const socklen_t size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), size) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error == EADDRINUSE ? EBUSY : error;
    return false;
  }
  fd_ = fd;
  return true;
}

void NetworkPortLock::Release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

TcpConnection ConnectTcp(const NetworkAddress& address, std::int64_t timeoutMs,
                         NetworkPortLock& lock, IClock& clock, IEventPump& pump) {
  TcpConnection result;
  const std::int64_t deadlineMs = clock.MonotonicMs() + timeoutMs;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  int resolved = 0;
  const AddressList addresses = LookUpName(address.host, std::to_string(address.port), hints,
                                           deadlineMs, clock, pump, resolved);
  if (!addresses) {
    result.error = ResolveError(resolved);
    return result;
  }
  const addrinfo* found = addresses.get();
  result.error = EHOSTUNREACH;
  for (const addrinfo* ai = found; ai != nullptr; ai = ai->ai_next) {
    const std::string peer = NumericHost(ai->ai_addr, ai->ai_addrlen);
    // A lock that cannot be made for another reason than its holder does not keep the ECR
    // from being reached.
    if (!lock.Acquire(peer, address.port) && errno == EBUSY) {
      result.error = EBUSY;
      return result;
    }
    int fd = -1;
    const int error = ConnectOne(*ai, deadlineMs, clock, pump, fd);
    if (error == 0) {
      TuneSocket(fd);
      result.fd = fd;
      result.error = 0;
      result.peer = peer;
      return result;
    }
    lock.Release();
    result.error = error;
    if (error == ETIMEDOUT) break;  // the time is up for every address
  }
  return result;
}

}  // namespace ruvo
