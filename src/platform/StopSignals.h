#pragma once

namespace ruvo {

// SIGTERM and SIGINT, the one way the program learns of them: as a descriptor that a loop
// sleeps on (in ppoll, beside its other descriptors) and a window watches with a socket
// notifier, instead of waking every few milliseconds to look at a flag. While the object
// lives the two signals are blocked and delivered through a signalfd. Create it first in
// main, before any thread is started: a thread that did not block them would take them
// with their default action and end the program without its close. Where no signalfd can
// be made, a handler notes them instead (Fd() is then -1, and a signal interrupts a sleep).
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Readable once a stop signal is waiting; -1 without a signalfd.
  int Fd() const { return fd_; }
  // True once SIGTERM or SIGINT has come (and from then on). Never blocks.
  bool Requested();

 private:
  int fd_ = -1;
  bool requested_ = false;
};

}  // namespace ruvo
