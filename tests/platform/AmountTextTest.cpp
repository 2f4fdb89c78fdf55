// The one amount rule: exact to the hundredth or refused, never rounded.
#include "platform/AmountText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/ControlCharacters.h"

namespace ruvo {
namespace {

AmountReading Typed(const std::string& text, char separator = '.') {
  AmountRule rule;
  rule.separator = separator;
  return ReadAmount(text, rule);
}

TEST(AmountText, DecimalFormsReadToTheHundredth) {
  EXPECT_EQ(Typed("12").hundredths, 1200);
  EXPECT_EQ(Typed("12.5").hundredths, 1250);
  EXPECT_EQ(Typed("12.50").hundredths, 1250);
  EXPECT_EQ(Typed(".05").hundredths, 5);
  EXPECT_EQ(Typed("12.").hundredths, 1200);
  EXPECT_EQ(Typed("+0012,34", ',').hundredths, 1234);
  EXPECT_EQ(Typed("9999999.99").hundredths, 999'999'999);
  EXPECT_EQ(Typed("2.67").hundredths, 267);  // no binary floating point on the way
}

TEST(AmountText, EachWayOfBeingWrongIsTold) {
  for (const std::string text :
       {"", ".", "+", "-1", "1,5", "1.2.3", "1e3", " 1", "1 ", "0x10", "++1", "1+", "١"}) {
    EXPECT_EQ(Typed(text).problem, AmountProblem::NotANumber) << text;
  }
  for (const std::string text : {"2.505", "2.504", "2.500", "0.001", "1.0000000000000000000001"}) {
    EXPECT_EQ(Typed(text).problem, AmountProblem::TooManyDecimals) << text;
  }
  for (const std::string text : {"0", "0.00", ".0", "+0", "000"}) {
    EXPECT_EQ(Typed(text).problem, AmountProblem::NotPositive) << text;
  }
  for (const std::string text : {"10000000", "9999999.991", "99999999999999999999999999"}) {
    const AmountProblem problem = Typed(text).problem;
    EXPECT_TRUE(problem == AmountProblem::TooLarge || problem == AmountProblem::TooManyDecimals)
        << text;
  }
  EXPECT_EQ(Typed("10000000").problem, AmountProblem::TooLarge);
}

TEST(AmountText, ReceiptFieldsAreWholeHundredths) {
  AmountRule whole;
  whole.separator = 0;
  whole.positive = false;
  EXPECT_EQ(ReadAmount("250", whole).hundredths, 250);
  EXPECT_EQ(ReadAmount("0", whole).hundredths, 0);
  EXPECT_EQ(ReadAmount("2.50", whole).problem, AmountProblem::NotANumber);
  EXPECT_EQ(ReadAmount("2,50", whole).problem, AmountProblem::NotANumber);
  EXPECT_EQ(ReadAmount("1000000000", whole).problem, AmountProblem::TooLarge);
  whole.largestHundredths = INT64_MAX;
  EXPECT_EQ(ReadAmount("9223372036854775807", whole).hundredths, INT64_MAX);
  EXPECT_EQ(ReadAmount("9223372036854775808", whole).problem, AmountProblem::TooLarge);
}

TEST(ControlCharacters, C0AndDelAreControlTheCodePageIsText) {
  EXPECT_EQ(FirstControlCharacter("ABC"), std::nullopt);
  EXPECT_EQ(FirstControlCharacter("\xAA\xBA\x96\xFF"), std::nullopt);
  EXPECT_EQ(FirstControlCharacter(std::string("A\0B", 3)), 1u);
  EXPECT_EQ(FirstControlCharacter("AB\x1f"), 2u);
  EXPECT_EQ(FirstControlCharacter("\x7f"), 0u);
  EXPECT_EQ(FirstControlCharacter("A\tB\x1b"), 1u);
}

}  // namespace
}  // namespace ruvo
