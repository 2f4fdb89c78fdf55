#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/Clock.h"
#include "platform/Locale.h"
#include "platform/ServedPause.h"
#include "platform/TimeFormat.h"
#include "support/ScriptedPump.h"

namespace ruvo {
namespace {

TEST(VirtualClock, AdvancesAcrossMidnightAndMonthEnds) {
  VirtualClock clock(LocalDateTime{2024, 2, 28, 23, 59, 59, 900});
  clock.SleepMs(200);
  const LocalDateTime dt = clock.Now();
  EXPECT_EQ(dt.year, 2024);
  EXPECT_EQ(dt.month, 2);
  EXPECT_EQ(dt.day, 29);
  EXPECT_EQ(dt.hour, 0);
  EXPECT_EQ(dt.second, 0);
  EXPECT_EQ(dt.millisecond, 100);
  EXPECT_EQ(clock.MonotonicMs(), 200);
  clock.Advance(-5);  // time never goes back
  EXPECT_EQ(clock.MonotonicMs(), 200);
}

// What the work before a pause finished (an answer an HTTP client waits for) is served at
// the pause's start, not a slice later; the pause still serves through to its end.
TEST(ServedPause, ServesAtOnceThenEverySliceToTheEnd) {
  VirtualClock clock(LocalDateTime{2026, 12, 9, 10, 0, 0, 0});
  testing::ScriptedPump pump(clock, 100);
  std::vector<std::int64_t> served;
  for (const std::int64_t at : {0, 100, 200, 250}) {
    pump.At(at, [&] { served.push_back(clock.MonotonicMs()); });
  }
  ServedPause(clock, pump, 250);
  EXPECT_EQ(served, (std::vector<std::int64_t>{0, 100, 200, 250}));
  EXPECT_EQ(clock.MonotonicMs(), 250);
}

TEST(NumericText, SignsOnlyFirstAndSeparatorAllowed) {
  EXPECT_TRUE(IsNumericText("123"));
  EXPECT_TRUE(IsNumericText("-12"));
  EXPECT_TRUE(IsNumericText("+"));
  EXPECT_FALSE(IsNumericText(""));
  EXPECT_FALSE(IsNumericText("1-2"));
  EXPECT_FALSE(IsNumericText("12a"));
  EXPECT_TRUE(IsAllDigits(""));
  EXPECT_FALSE(IsAllDigits("1 2"));
}

TEST(TimeFormat, DriverStampsArePaddedToTheirWidth) {
  const LocalDateTime dt{2026, 3, 7, 9, 5, 4, 7};
  EXPECT_EQ(FormatLogTime(dt), "09:05:04:007");
  EXPECT_EQ(FormatFileStamp(dt), "2026_03_07_09_05_04");
  EXPECT_EQ(LogTimeStamp(dt), "070326_09_05_04");
  const LocalDateTime late{1999, 12, 31, 23, 59, 59, 999};
  EXPECT_EQ(FormatLogTime(late), "23:59:59:999");
  EXPECT_EQ(LogTimeStamp(late), "311299_23_59_59");
}

}  // namespace
}  // namespace ruvo
