#pragma once

#include <cstdint>
#include <string>

#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/NetworkAddress.h"

namespace ruvo {

// Waits until fd has one of events (poll's), or until deadlineMs on the clock; the event
// loop is served between slices, so a window stays alive while a device server thinks.
// Returns poll's revents; 0 at the deadline.
short WaitSocket(int fd, short events, std::int64_t deadlineMs, IClock& clock, IEventPump& pump);

// A connected TCP socket, or why there is none.
struct TcpConnection {
  int fd = -1;
  // errno of the failure: ECONNREFUSED, EHOSTUNREACH, ENETUNREACH, ETIMEDOUT; ENOENT for a
  // name that is not found, EAGAIN for a name server that did not answer; EBUSY when
  // another driver on this machine holds the address.
  int error = 0;
  // The address connected to, numeric ("192.168.1.20", "::1"): the lock's name.
  std::string peer;
};

// Only one driver of a machine talks to one device server port at a time, as with the
// local port's lock: the hold is a socket of the abstract namespace, named for the
// address, that ends with its descriptor (and with the process), so nothing is left behind.
class NetworkPortLock {
 public:
  NetworkPortLock() = default;
  ~NetworkPortLock() { Release(); }
  NetworkPortLock(const NetworkPortLock&) = delete;
  NetworkPortLock& operator=(const NetworkPortLock&) = delete;

  // False (errno EBUSY) when another holds it.
  bool Acquire(const std::string& peer, std::uint16_t port);
  void Release();

 private:
  int fd_ = -1;
};

// Resolves the host and connects to the first of its addresses that answers within
// timeoutMs in all, taking lock for that address first. The socket is non-blocking, with
// TCP_NODELAY (a frame goes out at once), keep-alive and a time-out for unacknowledged data
// (a server gone without a word is noticed), close-on-exec.
TcpConnection ConnectTcp(const NetworkAddress& address, std::int64_t timeoutMs,
                         NetworkPortLock& lock, IClock& clock, IEventPump& pump);

}  // namespace ruvo
