#include "platform/Clock.h"

#include <sys/prctl.h>

#include <chrono>
#include <ctime>
#include <thread>

namespace ruvo {

LocalDateTime CivilFromMs(std::int64_t ms) {
  using namespace std::chrono;
  const sys_time<milliseconds> tp{milliseconds{ms}};
  const auto days = floor<std::chrono::days>(tp);
  const year_month_day ymd{days};
  const hh_mm_ss<milliseconds> tod{tp - days};
  LocalDateTime dt;
  dt.year = static_cast<int>(ymd.year());
  dt.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  dt.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  dt.hour = static_cast<int>(tod.hours().count());
  dt.minute = static_cast<int>(tod.minutes().count());
  dt.second = static_cast<int>(tod.seconds().count());
  dt.millisecond = static_cast<int>(tod.subseconds().count());
  return dt;
}

std::int64_t CivilToMs(const LocalDateTime& dt) {
  using namespace std::chrono;
  const sys_days days{year{dt.year} / month{static_cast<unsigned>(dt.month)} /
                      day{static_cast<unsigned>(dt.day)}};
  const auto ms = duration_cast<milliseconds>(days.time_since_epoch()) + hours{dt.hour} +
                  minutes{dt.minute} + seconds{dt.second} + milliseconds{dt.millisecond};
  return ms.count();
}

LocalDateTime LocalFromTimeT(std::time_t seconds, int millisecond) {
  std::tm tm{};
  localtime_r(&seconds, &tm);
  LocalDateTime dt;
  dt.year = tm.tm_year + 1900;
  dt.month = tm.tm_mon + 1;
  dt.day = tm.tm_mday;
  dt.hour = tm.tm_hour;
  dt.minute = tm.tm_min;
  dt.second = tm.tm_sec;
  dt.millisecond = millisecond;
  return dt;
}

LocalDateTime SystemClock::Now() const {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count();
  return LocalFromTimeT(system_clock::to_time_t(now), static_cast<int>(ms % 1000));
}

std::int64_t SystemClock::MonotonicMs() const {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::int64_t SystemClock::MonotonicUs() const {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

std::int64_t SystemClock::FileTimeNowNs() const {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void SystemClock::SleepMs(std::int64_t ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SystemClock::SleepUs(std::int64_t us) {
  if (us <= 0) return;
  // A fine sleep is meant to end a byte-time (87 us) before something the thread waits
  // for; the kernel's default leeway of 50 us on every timer of the thread would take
  // most of that. A microsecond is leeway enough.
  thread_local const bool tightened = ::prctl(PR_SET_TIMERSLACK, 1000UL, 0UL, 0UL, 0UL) == 0;
  (void)tightened;
  std::this_thread::sleep_for(std::chrono::microseconds(us));
}

// The virtual clock keeps local time as if it were UTC: it needs calendar arithmetic only.
VirtualClock::VirtualClock(LocalDateTime start) : startMsSinceEpoch_(CivilToMs(start)) {}

LocalDateTime VirtualClock::Now() const { return CivilFromMs(startMsSinceEpoch_ + elapsedMs_); }

IClock& DefaultClock() {
  static SystemClock clock;
  return clock;
}

}  // namespace ruvo
