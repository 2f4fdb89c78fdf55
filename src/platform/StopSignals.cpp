#include "platform/StopSignals.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace ruvo {

namespace {

volatile std::sig_atomic_t g_noted = 0;

void NoteStop(int) { g_noted = 1; }

sigset_t StopSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  return set;
}

void Handle(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace

StopSignals::StopSignals() {
  const sigset_t set = StopSet();
  if (sigprocmask(SIG_BLOCK, &set, nullptr) == 0) {
    fd_ = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd_ >= 0) return;
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
  }
  Handle(NoteStop);
}

StopSignals::~StopSignals() {
  if (fd_ < 0) {
    Handle(SIG_DFL);
    return;
  }
  ::close(fd_);
  const sigset_t set = StopSet();
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

bool StopSignals::Requested() {
  if (fd_ < 0) {
    if (g_noted != 0) requested_ = true;
    return requested_;
  }
  signalfd_siginfo info{};
  for (;;) {
    const ssize_t n = ::read(fd_, &info, sizeof info);
    if (n < 0 && errno == EINTR) continue;
    if (n != static_cast<ssize_t>(sizeof info)) break;
    requested_ = true;
  }
  return requested_;
}

}  // namespace ruvo
