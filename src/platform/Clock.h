#pragma once

#include <cstdint>
#include <ctime>

namespace ruvo {

// A local calendar date and time of day, to the millisecond.
struct LocalDateTime {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// Every wait of the driver (answer time-outs, pauses, retries) goes through a clock,
// so tests can run minutes of ECR waiting in milliseconds with a VirtualClock.
class IClock {
 public:
  virtual ~IClock() = default;
  virtual LocalDateTime Now() const = 0;
  // Milliseconds since an arbitrary origin; never goes back.
  virtual std::int64_t MonotonicMs() const = 0;
  // The same time in microseconds, for what must be timed finer than a millisecond.
  virtual std::int64_t MonotonicUs() const { return MonotonicMs() * 1000; }
  virtual void SleepMs(std::int64_t ms) = 0;
  // A sleep finer than a millisecond. Never longer than asked: a clock that cannot do
  // better sleeps the whole milliseconds in it.
  virtual void SleepUs(std::int64_t us) { SleepMs(us / 1000); }
  // The system's real time in nanoseconds since the epoch, the scale of file times; 0 when
  // the clock keeps no real time (virtual time), so that no file counts as old by it.
  virtual std::int64_t FileTimeNowNs() const { return 0; }
};

class SystemClock final : public IClock {
 public:
  LocalDateTime Now() const override;
  std::int64_t MonotonicMs() const override;
  std::int64_t MonotonicUs() const override;
  void SleepMs(std::int64_t ms) override;
  void SleepUs(std::int64_t us) override;
  std::int64_t FileTimeNowNs() const override;
};

// Time that moves only when somebody sleeps or advances it.
class VirtualClock final : public IClock {
 public:
  explicit VirtualClock(LocalDateTime start = LocalDateTime{2026, 1, 15, 12, 0, 0, 0});
  LocalDateTime Now() const override;
  std::int64_t MonotonicMs() const override { return elapsedMs_; }
  void SleepMs(std::int64_t ms) override { Advance(ms); }
  void Advance(std::int64_t ms) {
    if (ms > 0) elapsedMs_ += ms;
  }

 private:
  std::int64_t startMsSinceEpoch_;
  std::int64_t elapsedMs_ = 0;
};

// The process-wide real clock, for code that has no clock handed to it.
IClock& DefaultClock();

// Calendar arithmetic on a date and time taken as plain civil time (no time zone):
// milliseconds since 1970-01-01 00:00:00.000 and back.
std::int64_t CivilToMs(const LocalDateTime& dt);
LocalDateTime CivilFromMs(std::int64_t ms);

// A time_t in the local time zone, with the given milliseconds.
LocalDateTime LocalFromTimeT(std::time_t seconds, int millisecond);

}  // namespace ruvo
