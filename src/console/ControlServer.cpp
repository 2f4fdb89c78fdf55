#include "console/ControlServer.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

#include "platform/RuntimeFolder.h"

namespace ruvo {

namespace {

// Closes the client's connection on every path out of a request.
class ClientConnection {
 public:
  explicit ClientConnection(int fd) : fd_(fd) {}
  ~ClientConnection() {
    if (fd_ >= 0) ::close(fd_);
  }
  ClientConnection(const ClientConnection&) = delete;
  ClientConnection& operator=(const ClientConnection&) = delete;
  int Fd() const { return fd_; }
  // The connection stays open; the caller owns the descriptor from now on.
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// Counts a ServeOne in progress, on every way out.
class Nesting {
 public:
  explicit Nesting(int& depth) : depth_(depth) { ++depth_; }
  ~Nesting() { --depth_; }
  Nesting(const Nesting&) = delete;
  Nesting& operator=(const Nesting&) = delete;

 private:
  int& depth_;
};

// A client that closed its connection while its request waited: nobody would hear the
// answer, so the request is not run. (A client that is only done sending still listens.)
bool ClientGone(int fd) {
  pollfd client{fd, POLLIN, 0};
  return ::poll(&client, 1, 0) > 0 && (client.revents & (POLLHUP | POLLERR)) != 0;
}

const std::string kBusy = "The driver is busy; try again in a moment.";

// Between two looks at a silent client; short beside the deadlines.
constexpr std::int64_t kPollMs = 10;

const std::string kForbidden =
    "Permission denied: the driver takes requests only from its own user and root";

}  // namespace

namespace {

// The address of the socket at path; false when the path does not fit one.
bool ControlAddress(const std::string& path, sockaddr_un& address, socklen_t& length) {
  if (path.empty() || path.size() + 1 > sizeof address.sun_path) return false;
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
  return true;
}

}  // namespace

std::string ControlSocketPath(const std::string& runtimeFolder) {
  return runtimeFolder + "/" + kControlSocketFileName;
}

int ConnectControlSocket(const std::string& path) {
  sockaddr_un address{};
  socklen_t length = 0;
  if (!ControlAddress(path, address, length)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

bool ControlPeerAllowed(uid_t peer, uid_t ownUser) { return peer == ownUser || peer == 0; }

ControlServer::ControlServer(const std::string& path, IClock& clock, Handler handler)
    : clock_(clock), handler_(std::move(handler)) {
  sockaddr_un address{};
  socklen_t length = 0;
  if (!ControlAddress(path, address, length)) {
    problem_ = path + " is too long for a socket address";
    return;
  }
  // The caller holds the instance's guard: a socket left here is a killed driver's.
  ::unlink(path.c_str());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    problem_ = std::strerror(errno);
    return;
  }
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    problem_ = std::strerror(errno);
    ::close(fd);
    return;
  }
  path_ = path;
  // Connecting takes write permission on the socket: only the driver's user (and root).
  if (::chmod(path.c_str(), 0600) != 0 || ::listen(fd, 8) != 0) {
    problem_ = std::strerror(errno);
    ::close(fd);
    return;
  }
  fd_ = fd;
}

ControlServer::~ControlServer() {
  for (const Waiting& waiting : waiting_) ::close(waiting.fd);
  for (const Reading& reading : reading_) ::close(reading.fd);
  if (fd_ >= 0) ::close(fd_);
  if (!path_.empty()) ::unlink(path_.c_str());
}

void ControlServer::ServeOne() {
  if (fd_ < 0 || depth_ >= kMaxNesting) return;
  const Nesting nesting(depth_);
  RetryWaiting();
  ContinueReading();
  // Asked first: accept4 makes (and throws away) a whole socket even when nobody is
  // waiting, which is most of what an idle driver spends at a tick.
  pollfd waiting{fd_, POLLIN, 0};
  if (::poll(&waiting, 1, 0) <= 0) return;
  const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (client < 0) return;
  try {
    Accept(client);
  } catch (...) {
    // The connection is closed or kept by now; the driver goes on.
  }
}

void ControlServer::RetryWaiting() {
  // Each waiting request is asked once per call; a nested call (from a wait inside one of
  // them) sees only those not taken yet.
  for (std::size_t turns = waiting_.size(); turns > 0 && !waiting_.empty(); --turns) {
    Waiting next = std::move(waiting_.front());
    waiting_.pop_front();
    if (ClientGone(next.fd)) {
      ::close(next.fd);
      continue;
    }
    try {
      AnswerOrKeep(next.fd, std::move(next.arguments));
    } catch (...) {
      // AnswerOrKeep closed or kept the descriptor; the driver goes on.
    }
  }
}

void ControlServer::ContinueReading() {
  // As for the waiting ones: a nested call sees only the clients not taken yet.
  for (std::size_t turns = reading_.size(); turns > 0 && !reading_.empty(); --turns) {
    Reading next = std::move(reading_.front());
    reading_.pop_front();
    try {
      ReadOn(std::move(next));
    } catch (...) {
      // ReadOn closed or kept the descriptor; the driver goes on.
    }
  }
}

void ControlServer::ReadOn(Reading client) {
  ClientConnection connection(client.fd);
  const ReadState state = ReadAvailable(client);
  if (state == ReadState::Failed) return;
  if (state == ReadState::Whole) {
    Handle(connection.Release(), client.received);
    return;
  }
  // Stalled past its deadline: dropped without an answer.
  if (clock_.MonotonicMs() >= client.deadlineMs) return;
  // Most clients send their request at once; one that has not yet is read on at the next
  // turns of the loop, which meanwhile serves everything else.
  if (reading_.size() >= kMaxReading) {
    WriteAnswer(client.fd, Failed({kBusy}));
    return;
  }
  reading_.push_back(std::move(client));
  connection.Release();
}

void ControlServer::AnswerOrKeep(int client, std::vector<std::string> arguments) {
  ClientConnection connection(client);
  std::optional<ControlAnswer> answer = handler_(arguments);
  if (!answer) {
    if (waiting_.size() < kMaxWaiting) {
      waiting_.push_back(Waiting{connection.Release(), std::move(arguments)});
      return;
    }
    answer = Failed({kBusy});
  }
  WriteAnswer(client, *answer);
}

void ControlServer::Accept(int client) {
  ClientConnection connection(client);
  ucred peer{};
  socklen_t size = sizeof peer;
  if (::getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
      !ControlPeerAllowed(peer.uid, ::geteuid())) {
    WriteAnswer(client, Failed({kForbidden}));
    return;
  }
  ReadOn(Reading{connection.Release(), "", clock_.MonotonicMs() + kRequestDeadlineMs});
}

ControlServer::ReadState ControlServer::ReadAvailable(Reading& client) {
  char buffer[1024];
  while (client.received.size() <= kMaxRequestBytes) {
    const ssize_t n = ::recv(client.fd, buffer, sizeof buffer, 0);
    if (n > 0) {
      client.received.append(buffer, static_cast<std::size_t>(n));
      if (ParseRequest(client.received).status != RequestStatus::Incomplete) {
        return ReadState::Whole;
      }
      continue;
    }
    if (n == 0) return ReadState::Whole;  // the client is done sending
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return ReadState::Failed;
    return ReadState::Arriving;
  }
  return ReadState::Whole;  // over-long: answered as such
}

void ControlServer::Handle(int client, const std::string& received) {
  ClientConnection connection(client);
  const std::string tooLong =
      "Malformed request: longer than " + std::to_string(kMaxRequestBytes) + " bytes";
  // The limit holds also for a request whose end came in the read that passed it.
  if (received.size() > kMaxRequestBytes) {
    WriteAnswer(client, Failed({tooLong}));
    return;
  }
  const RequestParse parse = ParseRequest(received);
  if (parse.status == RequestStatus::Malformed) {
    WriteAnswer(client, Failed({"Malformed request: " + parse.error}));
  } else if (parse.status == RequestStatus::Incomplete) {
    WriteAnswer(client, Failed({"Malformed request: truncated"}));
  } else {
    AnswerOrKeep(connection.Release(), parse.arguments);
  }
}

// Writes the answer as far as the client takes it before the deadline.
void ControlServer::WriteAnswer(int client, const ControlAnswer& answer) {
  const std::string bytes = EncodeAnswer(answer);
  const std::int64_t deadline = clock_.MonotonicMs() + kAnswerDeadlineMs;
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(client, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return;
    if (clock_.MonotonicMs() >= deadline) return;
    clock_.SleepMs(kPollMs);
  }
}

}  // namespace ruvo
