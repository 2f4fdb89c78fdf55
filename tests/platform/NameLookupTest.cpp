// A name lookup that the name server leaves hanging must not hold the driver past the
// port's time-out.
#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "platform/NameLookup.h"

namespace ruvo {
namespace {

addrinfo StreamHints() {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  return hints;
}

class CountingPump final : public IEventPump {
 public:
  void Pump() override { ++pumped; }
  int pumped = 0;
};

TEST(NameLookup, AHangingNameServerGivesUpAtTheDeadlineServingTheLoop) {
  std::atomic<int> calls = 0;
  // Numeric lookups fail at once; the name itself hangs for two seconds.
  const Resolver slow = [&calls](const char* host, const char* service, const addrinfo* hints,
                                 addrinfo** found) {
    ++calls;
    if ((hints->ai_flags & AI_NUMERICHOST) != 0) return EAI_NONAME;
    std::this_thread::sleep_for(std::chrono::seconds(2));
    return ::getaddrinfo("127.0.0.1", service, hints, found) == 0 && host != nullptr ? 0 : EAI_FAIL;
  };
  SystemClock clock;
  CountingPump pump;
  int error = 0;
  const auto started = std::chrono::steady_clock::now();
  const AddressList none = LookUpName("ecr.shop.example", "4001", StreamHints(),
                                      clock.MonotonicMs() + 300, clock, pump, error, slow);
  const auto waited = std::chrono::steady_clock::now() - started;
  EXPECT_FALSE(none);
  EXPECT_EQ(error, EAI_AGAIN);
  EXPECT_LT(waited, std::chrono::seconds(1));
  EXPECT_GT(pump.pumped, 0);
  // The abandoned lookup ends by itself; nothing of it is left to free here.
  EXPECT_EQ(calls.load(), 2);
}

TEST(NameLookup, NumericAddressesAndNamesThatAnswerAreFound) {
  SystemClock clock;
  CountingPump pump;
  int error = -1;
  const AddressList loopback =
      LookUpName("::1", "4001", StreamHints(), clock.MonotonicMs() + 1000, clock, pump, error);
  ASSERT_TRUE(loopback);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(loopback->ai_family, AF_INET6);
  const AddressList local = LookUpName("localhost", "4001", StreamHints(),
                                       clock.MonotonicMs() + 5000, clock, pump, error);
  EXPECT_TRUE(local) << gai_strerror(error);
  const AddressList missing = LookUpName("no-such-host.invalid", "4001", StreamHints(),
                                         clock.MonotonicMs() + 5000, clock, pump, error);
  EXPECT_FALSE(missing);
  EXPECT_NE(error, 0);
}

}  // namespace
}  // namespace ruvo
