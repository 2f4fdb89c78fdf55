#pragma once

namespace ruvo {

// SIGTERM and SIGINT as a descriptor that a loop can sleep on (in ppoll, beside its other
// descriptors) instead of waking every few milliseconds to look at a flag. While the
// object lives the two signals are blocked and delivered through a signalfd; where that
// is not available they stay as they were (the caller's handler then interrupts the
// sleep). Create it where the loop starts, after the caller's own handlers.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Readable once a stop signal is waiting; -1 without a signalfd.
  int Fd() const { return fd_; }
  // True once SIGTERM or SIGINT has come through the descriptor (and from then on). Never
  // blocks.
  bool Requested();

 private:
  int fd_ = -1;
  bool requested_ = false;
};

}  // namespace ruvo
