#pragma once

namespace ruvo {

// SIGTERM and SIGINT as a descriptor that a loop can sleep on (in ppoll, beside its other
// descriptors) instead of waking every few milliseconds to look at a flag. The two signals
// are blocked while the object lives and delivered through a signalfd; where that is not
// available they stay unblocked, a handler notes them and interrupts the sleep.
// One object per process; SIGPIPE is set to be ignored as well.
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
