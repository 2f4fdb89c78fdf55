#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace ruvo::testing {

// Polls condition every few milliseconds until it holds or timeoutMs have passed.
// The limits only keep a broken program from hanging a test; a working one is fast.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

// A program started with fork and exec, its standard output and error in files. A process
// still running when the object goes is killed, so a failed test leaves nothing behind.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // False when the program could not be started (the process exits 127 when exec fails)
  // or is still running; a stopped one may be started again. extraEnvironment holds
  // "NAME=VALUE" entries added to this process's environment for the child.
  bool Start(const std::vector<std::string>& args, const std::string& outPath,
             const std::string& errPath, const std::vector<std::string>& extraEnvironment = {}) {
    if ((pid_ > 0 && !reaped_) || args.empty()) return false;
    reaped_ = false;
    exitCode_ = -2;
    // Everything the child needs is prepared before fork: after it only async-signal-safe
    // calls are allowed.
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    // An entry of extraEnvironment replaces one of the same name: getenv takes the first.
    const auto overridden = [&extraEnvironment](const char* entry) {
      for (const std::string& e : extraEnvironment) {
        const std::size_t name = e.find('=') + 1;
        if (name > 0 &&
            std::string_view(entry).substr(0, name) == std::string_view(e).substr(0, name)) {
          return true;
        }
      }
      return false;
    };
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
      if (!overridden(*e)) envp.push_back(*e);
    }
    for (const std::string& e : extraEnvironment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      // A test process that dies without its destructors (a crash, a closed pipe) takes
      // its programs with it instead of leaving them serving.
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out >= 0) dup2(out, STDOUT_FILENO);
      if (err >= 0) dup2(err, STDERR_FILENO);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    return true;
  }

  bool Running() { return pid_ > 0 && !reaped_ && !Reap(WNOHANG); }
  pid_t Pid() const { return pid_; }

  // Waits up to timeoutMs for the end. The exit code; -1 when the process ended by a
  // signal, -2 when it did not end, -3 when it never started.
  int Wait(int timeoutMs = 5000) {
    if (pid_ <= 0) return -3;
    WaitUntil([&] { return reaped_ || Reap(WNOHANG); }, timeoutMs);
    return reaped_ ? exitCode_ : -2;
  }

  // Sends signal, then Wait.
  int Stop(int signal, int timeoutMs = 5000) {
    if (pid_ <= 0) return -3;
    if (!reaped_) kill(pid_, signal);
    return Wait(timeoutMs);
  }

 private:
  bool Reap(int options) {
    int status = 0;
    if (waitpid(pid_, &status, options) != pid_) return false;
    reaped_ = true;
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
  }

  pid_t pid_ = -1;
  bool reaped_ = false;
  int exitCode_ = -2;
};

}  // namespace ruvo::testing
