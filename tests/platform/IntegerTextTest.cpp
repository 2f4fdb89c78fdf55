// The one integer text rule behind the receipt fields, the settings and the dialogs.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "platform/IntegerText.h"

namespace ruvo {
namespace {

TEST(IntegerText, AnOptionalSignThenDigitsLeadingZerosAllowed) {
  EXPECT_EQ(ParseInt32("42"), 42);
  EXPECT_EQ(ParseInt32("+7"), 7);
  EXPECT_EQ(ParseInt32("-7"), -7);
  EXPECT_EQ(ParseInt32("007"), 7);
  EXPECT_EQ(ParseInt32("-0"), 0);
  EXPECT_EQ(ParseInt64(std::string(300, '0') + "5"), 5);
}

TEST(IntegerText, AnythingElseIsNoNumber) {
  for (const std::string text : {"", "-", "+", "+-1", "--1", "-12-3", "12-3", " 1", "1 ", "1 2",
                                 "\t1", "12.50", "12,50", "1a", "1e3", "0x10",
                                 "\xb1"
                                 "1"}) {
    EXPECT_FALSE(ParseInt32(text).has_value()) << text;
    EXPECT_FALSE(ParseInt64(text).has_value()) << text;
  }
}

TEST(IntegerText, TheRangeOfEachWidthHoldsToTheLastValue) {
  EXPECT_EQ(ParseInt32("2147483647"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(ParseInt32("-2147483648"), std::numeric_limits<std::int32_t>::min());
  EXPECT_FALSE(ParseInt32("2147483648").has_value());
  EXPECT_FALSE(ParseInt32("-2147483649").has_value());
  EXPECT_EQ(ParseInt64("2147483648"), 2147483648LL);
  EXPECT_EQ(ParseInt64("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(ParseInt64("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
  EXPECT_FALSE(ParseInt64("9223372036854775808").has_value());
  EXPECT_FALSE(ParseInt64("-9223372036854775809").has_value());
  EXPECT_FALSE(ParseInt64("99999999999999999999999").has_value());
}

}  // namespace
}  // namespace ruvo
