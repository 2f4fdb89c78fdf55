#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "support/ChildProcess.h"

namespace ruvo::e2e {

// strace attached to a running process, to count its system calls or to make one of them
// fail or kill it. Attaching needs the right to trace the process (ptrace); Attach says
// when it is missing, and the test skips.
class SyscallFaults {
 public:
  static bool Available();

  explicit SyscallFaults(std::string outputPath) : output_(std::move(outputPath)) {}
  ~SyscallFaults() { Detach(); }
  SyscallFaults(const SyscallFaults&) = delete;
  SyscallFaults& operator=(const SyscallFaults&) = delete;

  // Writes down the calls of syscalls the process makes from now on, with their arguments.
  bool Trace(pid_t pid, const std::vector<std::string>& syscalls);
  // Counts the calls of syscalls the process makes from now on.
  bool Count(pid_t pid, const std::vector<std::string>& syscalls);
  // Makes the when-th call of syscall (from now on) do what (strace's inject action:
  // "signal=KILL", "error=EIO", with ":when=N" or "N+" appended by the caller).
  bool Inject(pid_t pid, const std::string& syscall, const std::string& action);
  // Detaches (strace ends by itself once the process is gone).
  void Detach();
  // The calls counted, by system call name, once detached.
  std::map<std::string, int> Counts() const;
  // The calls written down, one a line, in order, once detached.
  std::vector<std::string> Calls() const;
  // What strace said.
  std::string Messages() const;

 private:
  bool Attach(pid_t pid, std::vector<std::string> args);

  std::string output_;
  ruvo::testing::ChildProcess strace_;
  bool attached_ = false;
};

}  // namespace ruvo::e2e
