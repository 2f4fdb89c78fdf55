#pragma once

#include <sys/types.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "console/ControlProtocol.h"
#include "platform/Clock.h"

namespace ruvo {

// The control socket of an instance: "control.sock" in its runtime folder
// (platform/RuntimeFolder), which only the driver's user and root can change.
std::string ControlSocketPath(const std::string& runtimeFolder);

// A new socket connected to the control socket at path (blocking, close-on-exec), or -1
// with errno set. The caller owns it.
int ConnectControlSocket(const std::string& path);

// Whether a peer of the given user may talk to a driver running as ownUser: only the
// same user and root.
bool ControlPeerAllowed(uid_t peer, uid_t ownUser);

// The driver's end of the control socket, UI-neutral: it owns a listening socket whose
// descriptor the event loop watches (the headless loop, a window's socket notifier), and
// when it is readable the loop calls ServeOne on the driver's own thread. A request is read
// as far as its bytes have arrived, never waited for: a client that has sent only part of
// it is kept and read again at the next ServeOne, and dropped once its deadline has passed.
// A whole request is handed to the handler and its answer written back; the connection is
// then closed. A malformed request is answered with an error and never reaches the handler.
//
// ServeOne is also called from inside the driver's waits (an operation's ECR wait, the
// pause after a file), also while a request of its own runs, so that a request arriving
// meanwhile is answered then: the handler answers at once, or says that the request must
// wait for the work in progress to end. Such a client is kept, its connection open, and
// the handler is asked again at every later ServeOne until it answers.
class ControlServer {
 public:
  // An answer now, or nullopt: not while the driver works; ask again later.
  using Handler =
      std::function<std::optional<ControlAnswer>(const std::vector<std::string>& arguments)>;

  // How long a client may take to send its request, and to take its answer.
  static constexpr std::int64_t kRequestDeadlineMs = 2000;
  static constexpr std::int64_t kAnswerDeadlineMs = 2000;
  // Requests served inside requests, at most: each one nested runs inside a wait of the one
  // around it.
  static constexpr int kMaxNesting = 3;
  // Requests kept waiting for the work in progress, at most; more are refused as busy.
  static constexpr std::size_t kMaxWaiting = 8;
  // Clients whose request is still arriving, at most; more are refused as busy.
  static constexpr std::size_t kMaxReading = 8;

  // Listens on a socket at path (mode 0600), in place of one a killed driver left: the
  // caller holds the instance's guard. Listening() tells whether that worked, Problem()
  // why not. The socket's file goes with the server.
  ControlServer(const std::string& path, IClock& clock, Handler handler);
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  bool Listening() const { return fd_ >= 0; }
  const std::string& Problem() const { return problem_; }
  // The listening descriptor (non-blocking) to watch for readability; -1 when none.
  int Fd() const { return fd_; }

  // Asks the handler again for the requests kept waiting, reads on from the clients whose
  // request is still arriving, then takes one new client, if there is one; never waits.
  void ServeOne();
  // Requests are kept waiting, or partly read: whoever runs the loop calls ServeOne again
  // soon, also when the descriptor stays quiet.
  bool HasWaiting() const { return !waiting_.empty() || !reading_.empty(); }

 private:
  struct Waiting {
    int fd;
    std::vector<std::string> arguments;
  };
  struct Reading {
    int fd;
    std::string received;
    std::int64_t deadlineMs;
  };
  enum class ReadState { Whole, Arriving, Failed };

  void Accept(int client);
  void RetryWaiting();
  void ContinueReading();
  // Reads on from the client (whose descriptor it then owns): answers a whole request,
  // keeps one still arriving, drops one past its deadline.
  void ReadOn(Reading client);
  // Reads what has arrived of the client's request, without waiting.
  static ReadState ReadAvailable(Reading& client);
  // Answers a request read whole (the client's descriptor is then owned here).
  void Handle(int client, const std::string& received);
  // Answers now, or keeps the client (whose descriptor it then owns) waiting.
  void AnswerOrKeep(int client, std::vector<std::string> arguments);
  void WriteAnswer(int client, const ControlAnswer& answer);

  IClock& clock_;
  Handler handler_;
  int fd_ = -1;
  std::string path_;
  std::string problem_;
  int depth_ = 0;
  std::deque<Waiting> waiting_;
  std::deque<Reading> reading_;
};

}  // namespace ruvo
