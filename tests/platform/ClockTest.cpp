#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "platform/Locale.h"
#include "platform/TimeFormat.h"

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
