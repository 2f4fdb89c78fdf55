#pragma once

#include <csignal>
#include <ostream>
#include <string>

#include "Options.h"

namespace xruvo_sim {

// A pseudo-terminal in raw mode whose slave the driver opens as its serial port. The
// simulator keeps a slave descriptor of its own open, so that the master never sees a
// hang-up between two connections of the driver (it opens it before the driver and
// never locks it).
class Pty {
 public:
  Pty() = default;
  ~Pty() { Close(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  bool Open(std::string& error);
  void Close();
  // A client killed while it held the line in exclusive mode leaves that mode behind (a
  // pseudo-terminal keeps it past the last close) and could never open the line again.
  // Clients hold a flock beside the mode and lose it when they die: a line in exclusive
  // mode whose lock is free has lost its holder and is freed.
  void ReleaseStaleHold();
  int Master() const { return master_; }
  const std::string& SlavePath() const { return slavePath_; }
  // Ends the exclusive hold a driver took on the port (TIOCEXCL). A real port loses it
  // with its user's last close; the simulator's own slave descriptor keeps the pty open,
  // so a driver killed with the port open would leave it held for good.
  void ReleaseExclusiveHold() const;

 private:
  int master_ = -1;
  int slaveHold_ = -1;
  std::string slavePath_;
};

// Serves the simulated ECR on a pseudo-terminal until stop becomes non-zero. Returns the
// exit code: 0 after a stop, 1 when the pseudo-terminal or the link cannot be made.
int Serve(const Options& options, std::ostream& paper, std::ostream& log,
          volatile std::sig_atomic_t& stop);

}  // namespace xruvo_sim
