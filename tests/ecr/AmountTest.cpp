#include <gtest/gtest.h>

#include <limits>

#include "ecr/Amount.h"

namespace ruvo::test {
namespace {

TEST(RoundAmount, HalvesGoAwayFromZero) {
  EXPECT_DOUBLE_EQ(RoundAmount(12.345, 2), 12.35);
  EXPECT_DOUBLE_EQ(RoundAmount(0.5, 0), 1.0);
  EXPECT_DOUBLE_EQ(RoundAmount(-0.5, 0), -1.0);
  EXPECT_DOUBLE_EQ(RoundAmount(2.5, 0), 3.0);
  EXPECT_DOUBLE_EQ(RoundAmount(-12.345, 2), -12.35);
  EXPECT_DOUBLE_EQ(RoundAmount(12.344999, 2), 12.34);
  EXPECT_DOUBLE_EQ(RoundAmount(0.0005, 3), 0.001);
}

TEST(RoundAmount, ValuesBinaryFloatingPointCannotHold) {
  // Each of these is held a little below the written value.
  EXPECT_DOUBLE_EQ(RoundAmount(1.005, 2), 1.01);
  EXPECT_DOUBLE_EQ(RoundAmount(2.675, 2), 2.68);
  EXPECT_DOUBLE_EQ(RoundAmount(0.285, 2), 0.29);
  EXPECT_DOUBLE_EQ(RoundAmount(-1.005, 2), -1.01);
  // Near ten million a 1e-10 nudge is below the spacing of doubles.
  EXPECT_DOUBLE_EQ(RoundAmount(1e7 - 0.005, 2), 1e7);
  EXPECT_DOUBLE_EQ(RoundAmount(1.15 * 100, 0), 115.0);
}

TEST(RoundAmount, NotFiniteCountsAsZero) {
  EXPECT_EQ(RoundAmount(std::numeric_limits<double>::quiet_NaN(), 2), 0.0);
  EXPECT_EQ(RoundAmount(std::numeric_limits<double>::infinity(), 2), 0.0);
  EXPECT_EQ(AmountField(std::numeric_limits<double>::quiet_NaN(), 7, 2), "000000000");
}

TEST(TruncNudged, CountsAValueJustBelowAnIntegerAsThatInteger) {
  EXPECT_EQ(TruncNudged(2.9999999999999996), 3);
  EXPECT_EQ(TruncNudged(-2.9999999999999996), -3);
  EXPECT_EQ(TruncNudged(2.5), 2);
  EXPECT_EQ(TruncNudged(-2.5), -2);
  EXPECT_EQ(TruncNudged(0.0), 0);
}

TEST(AmountField, IntegerPartThenDecimalsWithoutPoint) {
  EXPECT_EQ(AmountField(12.345, 7, 2), "000001235");
  EXPECT_EQ(AmountField(12.345, 7, 2).substr(0, 7), "0000012");
  EXPECT_EQ(AmountField(1.5, 4, 5), "000150000");
  EXPECT_EQ(AmountField(0, 7, 2), "000000000");
  EXPECT_EQ(AmountField(1e7 - 0.005, 7, 2), "1000000000");  // 8 integer digits, not cut
  // Large amounts keep their exact cents (the integer part is not subtracted in binary).
  EXPECT_EQ(AmountField(1234567.89, 7, 2), "123456789");
  EXPECT_EQ(AmountField(123456.78, 7, 2), "012345678");
  EXPECT_EQ(AmountField(0.1 + 0.2, 7, 2), "000000030");
}

TEST(AmountField, NegativeValuesKeepTheirSignInsideEachPart) {
  EXPECT_EQ(AmountField(-5, 7, 2), "00000-500");
  EXPECT_EQ(AmountField(-5.25, 7, 2), "00000-5-25");
  EXPECT_EQ(AmountField(-1.05, 7, 2), "00000-1-5");
  EXPECT_EQ(AmountField(-0.25, 7, 2), "0000000-25");
  // Rounds to zero: no sign at all.
  EXPECT_EQ(AmountField(-0.001, 7, 2), "000000000");
}

TEST(PadNumber, PadsNeverCuts) {
  EXPECT_EQ(PadNumber(5, 2), "05");
  EXPECT_EQ(PadNumber(12345, 4), "12345");
  EXPECT_EQ(PadNumber(-5, 7), "00000-5");
  EXPECT_EQ(PadNumber(0, 0), "0");
  EXPECT_EQ(LengthText("CARD", 2), "04CARD");
  EXPECT_EQ(LengthText("", 3), "000");
}

}  // namespace
}  // namespace ruvo::test
