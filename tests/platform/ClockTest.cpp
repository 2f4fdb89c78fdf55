#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "platform/Locale.h"

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

}  // namespace
}  // namespace ruvo
