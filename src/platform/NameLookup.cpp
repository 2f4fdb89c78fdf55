#include "platform/NameLookup.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace ruvo {

namespace {

// What the lookup's thread and its caller share; the last of the two to let go frees it.
struct Lookup {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  int error = 0;
  addrinfo* found = nullptr;

  ~Lookup() {
    if (found != nullptr) ::freeaddrinfo(found);
  }
};

AddressList Empty() { return AddressList(nullptr, ::freeaddrinfo); }

}  // namespace

AddressList LookUpName(const std::string& host, const std::string& service, const addrinfo& hints,
                       std::int64_t deadlineMs, IClock& clock, IEventPump& pump, int& error,
                       Resolver resolver) {
  addrinfo numeric = hints;
  numeric.ai_flags |= AI_NUMERICHOST;
  addrinfo* found = nullptr;
  error = resolver(host.c_str(), service.c_str(), &numeric, &found);
  if (error == 0) return AddressList(found, ::freeaddrinfo);

  auto lookup = std::make_shared<Lookup>();
  try {
    std::thread([lookup, host, service, hints, resolver] {
      addrinfo* result = nullptr;
      const int code = resolver(host.c_str(), service.c_str(), &hints, &result);
      const std::lock_guard<std::mutex> hold(lookup->mutex);
      lookup->error = code;
      lookup->found = result;
      lookup->finished = true;
      lookup->done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    // No thread to be had: the lookup runs here, without its deadline.
    error = resolver(host.c_str(), service.c_str(), &hints, &found);
    return error == 0 ? AddressList(found, ::freeaddrinfo) : Empty();
  }
  for (;;) {
    const std::int64_t now = clock.MonotonicMs();
    std::unique_lock<std::mutex> hold(lookup->mutex);
    if (lookup->finished) {
      error = lookup->error;
      found = std::exchange(lookup->found, nullptr);
      return error == 0 ? AddressList(found, ::freeaddrinfo) : Empty();
    }
    if (now >= deadlineMs) {
      error = EAI_AGAIN;
      return Empty();
    }
    const auto slice = std::min<std::int64_t>(deadlineMs - now, pump.SliceMs());
    lookup->done.wait_for(hold, std::chrono::milliseconds(slice));
    const bool finished = lookup->finished;
    hold.unlock();
    // A clock that does not follow real time (a test's) is moved by the slice waited.
    if (!finished && clock.MonotonicMs() == now) clock.SleepMs(slice);
    pump.Pump();
  }
}

}  // namespace ruvo
