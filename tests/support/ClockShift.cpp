// Preloaded into one process (LD_PRELOAD), moves its wall clock by $RUVO_CLOCK_SHIFT_S
// seconds: a clock step for the driver alone, never for the system. The monotonic clock
// stays as it is, as it does when a clock is set.
#include <dlfcn.h>
#include <sys/time.h>
#include <time.h>

#include <cstdlib>

namespace {

time_t Shift() {
  const char* text = std::getenv("RUVO_CLOCK_SHIFT_S");
  return text == nullptr ? 0 : static_cast<time_t>(std::atoll(text));
}

using ClockGettime = int (*)(clockid_t, timespec*);

ClockGettime Real() {
  static const auto real = reinterpret_cast<ClockGettime>(dlsym(RTLD_NEXT, "clock_gettime"));
  return real;
}

}  // namespace

extern "C" int clock_gettime(clockid_t id, timespec* at) {
  const int result = Real()(id, at);
  if (result == 0 && (id == CLOCK_REALTIME || id == CLOCK_REALTIME_COARSE)) at->tv_sec += Shift();
  return result;
}

extern "C" int gettimeofday(timeval* at, void*) {
  timespec now{};
  const int result = clock_gettime(CLOCK_REALTIME, &now);
  if (result == 0 && at != nullptr) {
    at->tv_sec = now.tv_sec;
    at->tv_usec = static_cast<suseconds_t>(now.tv_nsec / 1000);
  }
  return result;
}

extern "C" time_t time(time_t* out) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  if (out != nullptr) *out = now.tv_sec;
  return now.tv_sec;
}
