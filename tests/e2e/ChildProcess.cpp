#include "ChildProcess.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace ruvo::e2e {

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool ChildProcess::Start(const std::vector<std::string>& args, const std::string& outPath,
                         const std::string& errPath) {
  if ((pid_ > 0 && !reaped_) || args.empty()) return false;
  reaped_ = false;
  exitCode_ = -2;
  // Everything the child needs is prepared before fork: after it only async-signal-safe
  // calls are allowed.
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
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
    execv(argv[0], argv.data());
    _exit(127);
  }
  return true;
}

bool ChildProcess::Reap(int options) {
  int status = 0;
  if (waitpid(pid_, &status, options) != pid_) return false;
  reaped_ = true;
  exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return true;
}

bool ChildProcess::Running() { return pid_ > 0 && !reaped_ && !Reap(WNOHANG); }

int ChildProcess::Stop(int signal, int timeoutMs) {
  if (pid_ <= 0) return -3;
  if (!reaped_) kill(pid_, signal);
  WaitUntil([&] { return reaped_ || Reap(WNOHANG); }, timeoutMs);
  return reaped_ ? exitCode_ : -2;
}

}  // namespace ruvo::e2e
