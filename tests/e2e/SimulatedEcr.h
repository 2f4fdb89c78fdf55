#pragma once

#include <string>
#include <vector>

#include "support/ChildProcess.h"

namespace ruvo::e2e {

using ruvo::testing::ChildProcess;
using ruvo::testing::WaitUntil;

// The xruvo_sim program on a pseudo-terminal: its link, paper and control FIFO live in
// folder under names that start with name, so two simulators can share a folder.
class SimulatedEcr {
 public:
  SimulatedEcr(const std::string& folder, const std::string& name);

  // Starts the program with extra options and waits until its link leads to the slave
  // it announced and its control FIFO is there. After Stop it starts afresh: a new
  // device (numbers from 1 again) behind the same link.
  bool Start(const std::vector<std::string>& extraArgs = {});
  // SIGTERM; the exit code (0 for a clean stop).
  int Stop();
  bool Running() { return process_.Running(); }

  const std::string& Link() const { return link_; }
  // Everything printed so far, lines ended by "\n".
  std::string Paper() const;
  // The slave the link leads to now ("" when there is none).
  std::string LinkTarget() const;
  // Sends one fault command through the control FIFO and waits until the simulator has
  // taken it (it says so on its standard error).
  bool Control(const std::string& command);
  // What the simulator said on its standard error.
  std::string Messages() const;

 private:
  std::string link_;
  std::string paper_;
  std::string control_;
  std::string out_;
  std::string err_;
  ChildProcess process_;
};

}  // namespace ruvo::e2e
