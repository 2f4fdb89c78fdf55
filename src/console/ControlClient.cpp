#include "console/ControlClient.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "console/ControlProtocol.h"
#include "console/ControlServer.h"
#include "platform/Text1250.h"

namespace ruvo {

namespace {

// The longest the driver may stay silent: an operation answers only when it is done, and
// the Z report's 180 s wait or an export's readiness wait and transfer take minutes.
// Only a hung driver reaches it.
constexpr int kAnswerWaitMs = 60 * 60 * 1000;

// Closes the socket on every path.
class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int Fd() const { return fd_; }

 private:
  int fd_;
};

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd) == nullptr) return path;
  return std::string(cwd) + "/" + path;
}

// The request's arguments, or an error in problem.
std::optional<std::vector<std::string>> RequestArguments(const std::string& dir,
                                                         const std::vector<std::string>& command,
                                                         std::string& problem) {
  std::vector<std::string> arguments;
  if (!dir.empty()) {
    char resolved[PATH_MAX];
    if (::realpath(dir.c_str(), resolved) == nullptr) {
      problem = "no such folder: " + dir;
      return std::nullopt;
    }
    arguments = {"--dir", resolved};
  }
  for (std::size_t k = 0; k < command.size(); ++k) {
    std::optional<std::string> argument;
    if (k == 1 && command[0] == "logo") {
      argument = AbsolutePath(command[k]);
    } else {
      argument = Utf8To1250(command[k]);
    }
    if (!argument) {
      problem = "\"" + command[k] + "\" has characters the driver cannot take (Windows-1250)";
      return std::nullopt;
    }
    if (argument->find('\n') != std::string::npos) {
      problem = "an argument may not hold a line break";
      return std::nullopt;
    }
    arguments.push_back(*argument);
  }
  if (EncodeRequest(arguments).size() > kMaxRequestBytes ||
      arguments.size() > kMaxRequestArguments) {
    problem = "the command is too long";
    return std::nullopt;
  }
  return arguments;
}

// Connects to the driver's socket in place, having made sure, before anything is sent,
// that the socket and the process behind it are the place's owner's or root's: another
// user can neither put a socket there nor answer in the driver's name, whoever calls.
int ConnectToOwnDriver(const ControlPlace& place, const std::string& instance,
                       std::string& problem) {
  const int fd = ConnectControlSocket(ControlSocketPath(place.folder));
  if (fd < 0) {
    problem = "no driver answers as instance " + instance + " (" + std::strerror(errno) + ")";
    return -1;
  }
  ucred server{};
  socklen_t size = sizeof server;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &server, &size) != 0 ||
      !ControlPeerAllowed(server.uid, place.owner)) {
    ::close(fd);
    problem = "the control socket of instance " + instance + " is served by another user";
    return -1;
  }
  return fd;
}

void SendAll(int fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

// Everything until the driver closes; false on a time-out, an error or an answer too long.
bool ReceiveAll(int fd, std::string& received) {
  char buffer[4096];
  while (received.size() <= kMaxAnswerBytes) {
    pollfd watched{fd, POLLIN, 0};
    const int ready = ::poll(&watched, 1, kAnswerWaitMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    // A driver that refused the request before reading all of it resets the connection
    // once its answer has been read: the answer's own count tells whether it is whole.
    if (n == 0 || (n < 0 && errno == ECONNRESET)) return true;
    if (n < 0) return false;
    received.append(buffer, static_cast<std::size_t>(n));
  }
  return false;
}

}  // namespace

int RunControlClient(const std::vector<RuntimeCandidate>& places, const std::string& instance,
                     const std::string& dir, const std::vector<std::string>& command,
                     std::ostream& out, std::ostream& err) {
  std::string problem;
  const std::optional<std::vector<std::string>> arguments = RequestArguments(dir, command, problem);
  if (!arguments) {
    err << "ruvo_drv ctl: " << problem << "\n";
    return 1;
  }
  const std::optional<ControlPlace> place = FindControlPlace(places, ::geteuid(), problem);
  if (!place) {
    if (problem.empty()) problem = WhyNoControlPlace(places, instance, !dir.empty());
    err << "ruvo_drv ctl: " << problem << "\n";
    return 1;
  }
  const Socket socket(ConnectToOwnDriver(*place, instance, problem));
  if (socket.Fd() < 0) {
    err << "ruvo_drv ctl: " << problem << "\n";
    return 1;
  }
  // A driver that refuses the caller answers without reading the request, so a failed
  // send is not the end: its answer is still read.
  SendAll(socket.Fd(), EncodeRequest(*arguments));
  ::shutdown(socket.Fd(), SHUT_WR);
  std::string received;
  if (!ReceiveAll(socket.Fd(), received) || received.empty()) {
    err << "ruvo_drv ctl: the driver did not answer\n";
    return 1;
  }
  const std::optional<ControlAnswer> answer = ParseAnswer(received);
  if (!answer) {
    err << "ruvo_drv ctl: the driver's answer is incomplete\n";
    return 1;
  }
  std::ostream& shown = answer->ok ? out : err;
  for (const std::string& line : answer->lines) shown << Utf8From1250(line) << "\n";
  shown.flush();
  return answer->ok ? 0 : 1;
}

}  // namespace ruvo
