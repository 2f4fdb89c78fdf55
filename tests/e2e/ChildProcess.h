#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace ruvo::e2e {

// Polls condition every few milliseconds until it holds or timeoutMs have passed.
// The limits only keep a broken program from hanging a test; a working one is fast.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);

// A program started with fork and exec, its standard output and error in files. A process
// still running when the object goes is killed, so a failed test leaves nothing behind.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // False when the program could not be started (the process exits 127 when exec fails)
  // or is still running; a stopped one may be started again.
  bool Start(const std::vector<std::string>& args, const std::string& outPath,
             const std::string& errPath);

  bool Running();
  // Sends signal and waits up to timeoutMs for the end. The exit code; -1 when the
  // process ended by a signal, -2 when it did not end, -3 when it never started.
  int Stop(int signal, int timeoutMs = 5000);

 private:
  bool Reap(int options);

  pid_t pid_ = -1;
  bool reaped_ = false;
  int exitCode_ = -2;
};

}  // namespace ruvo::e2e
