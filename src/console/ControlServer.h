#pragma once

#include <sys/types.h>

#include <functional>
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
// when it is readable the loop calls ServeOne on the driver's own thread. One request is
// read with a deadline (a client that stalls is dropped), handed to the handler, and its
// answer written back; the connection is then closed. A malformed request is answered
// with an error and never reaches the handler.
class ControlServer {
 public:
  using Handler = std::function<ControlAnswer(const std::vector<std::string>& arguments)>;

  // How long a client may take to send its request, and to take its answer.
  static constexpr std::int64_t kRequestDeadlineMs = 2000;
  static constexpr std::int64_t kAnswerDeadlineMs = 2000;

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

  // Serves one waiting client, if there is one; returns at once otherwise. A call made
  // while a request is being served (from a wait inside it) does nothing.
  void ServeOne();

 private:
  void Serve(int client);
  bool ReadRequest(int client, std::string& received);
  void WriteAnswer(int client, const ControlAnswer& answer);

  IClock& clock_;
  Handler handler_;
  int fd_ = -1;
  std::string path_;
  std::string problem_;
  bool serving_ = false;
};

}  // namespace ruvo
