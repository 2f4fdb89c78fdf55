// The pieces every checker stands on: the split rule, the numeric-field rule, integer
// values and calendar dates.
#include <gtest/gtest.h>

#include "platform/CalendarDate.h"
#include "receipt/Fields.h"
#include "receipt/NumericRules.h"
#include "receipt/PortSelection.h"

namespace ruvo {
namespace {

TEST(SplitFields, TrailingSeparatorAddsNoField) {
  EXPECT_EQ(SplitFields("5;500;1"), (Fields{"5", "500", "1"}));
  EXPECT_EQ(SplitFields("5;500;1;"), (Fields{"5", "500", "1"}));
  EXPECT_EQ(SplitFields("2;1;"), (Fields{"2", "1"}));
}

TEST(SplitFields, EmptyPiecesBetweenSeparatorsAreFields) {
  EXPECT_EQ(SplitFields(";"), (Fields{""}));
  EXPECT_EQ(SplitFields(";;"), (Fields{"", ""}));
  EXPECT_EQ(SplitFields("1;;x"), (Fields{"1", "", "x"}));
  EXPECT_TRUE(SplitFields("").empty());
}

TEST(SplitFields, NothingIsTrimmedOrUnquoted) {
  EXPECT_EQ(SplitFields(" 1 ;\"a;b\""), (Fields{" 1 ", "\"a", "b\""}));
  EXPECT_EQ(SplitFields("2;1;\xe2\x96"), (Fields{"2", "1", "\xe2\x96"}));
}

TEST(NumberRules, WholeNumbersTakeASignAmountsOnlyAPlus) {
  for (const std::string text : {"123", "+123", "007", "0"}) {
    EXPECT_TRUE(IsWholeNumberField(text)) << text;
    EXPECT_TRUE(IsAmountField(text)) << text;
  }
  EXPECT_TRUE(IsWholeNumberField("-123"));
  EXPECT_FALSE(IsAmountField("-123"));
  for (const std::string text :
       {"", "-", "+", "12.50", "12,50", "-12-3", "12-3", "+-1", " 1", "1 ", "1a", "1e3", "0x10"}) {
    EXPECT_FALSE(IsWholeNumberField(text)) << text;
    EXPECT_FALSE(IsAmountField(text)) << text;
  }
}

TEST(NumberRules, LengthAndWidthLimits) {
  EXPECT_TRUE(IsWholeNumberField(std::string(254, '0') + "9"));
  EXPECT_FALSE(IsWholeNumberField(std::string(255, '0') + "9"));
  EXPECT_FALSE(IsAmountField(std::string(255, '0') + "9"));
  EXPECT_TRUE(IsWholeNumberField("2147483647"));
  EXPECT_FALSE(IsWholeNumberField("2147483648"));
  EXPECT_TRUE(IsAmountField("9223372036854775807"));
  EXPECT_FALSE(IsAmountField("9223372036854775808"));
}

// The text rule itself is platform/IntegerText's (tests/platform/IntegerTextTest).
TEST(IntegerValues, InvalidTextGivesTheDefault) {
  EXPECT_EQ(IntValue("-7"), -7);
  EXPECT_EQ(IntValue("1.5"), 0);
  EXPECT_EQ(IntValue("2147483648"), 0);
  EXPECT_EQ(IntValue("x", -1), -1);
  EXPECT_EQ(Int64Value("2147483648"), 2147483648LL);
  EXPECT_EQ(Int64Value("9223372036854775808"), 0);
}

TEST(CalendarDate, LeapYears) {
  EXPECT_TRUE(IsValidDate(29, 2, 2020));
  EXPECT_FALSE(IsValidDate(29, 2, 2019));
  EXPECT_FALSE(IsValidDate(29, 2, 2100));
  EXPECT_TRUE(IsValidDate(29, 2, 2000));
  EXPECT_TRUE(IsValidDate(31, 12, 2099));
  EXPECT_FALSE(IsValidDate(31, 4, 2021));
  EXPECT_FALSE(IsValidDate(0, 1, 2021));
  EXPECT_FALSE(IsValidDate(1, 13, 2021));
  EXPECT_FALSE(IsValidDate(1, 1, 1000000));
}

TEST(PortSelection, NumberAfterCom) {
  EXPECT_TRUE(IsPortSelectionCode("COM3"));
  EXPECT_TRUE(IsPortSelectionCode("  com 12"));
  EXPECT_FALSE(IsPortSelectionCode("CO"));
  EXPECT_EQ(PortOfSelectionLine("COM3"), 3);
  EXPECT_EQ(PortOfSelectionLine("com 12"), 12);
  EXPECT_EQ(PortOfSelectionLine("COM"), 1);
  EXPECT_EQ(PortOfSelectionLine("C"), 1);
  EXPECT_EQ(PortOfSelectionLine("COM0"), 1);
  EXPECT_EQ(PortOfSelectionLine("COMx"), 1);
  // A negative number names no port: it must fail to open, not print on the first port.
  EXPECT_EQ(PortOfSelectionLine("COM-4"), -4);
  EXPECT_EQ(PortOfSelectionLine("COM-0"), 1);
  // Only characters 4 to 13 are read: ten characters of number at most.
  EXPECT_EQ(PortOfSelectionLine("COM00000000051"), 5);
}

TEST(PortSelection, OnlyTheFirstLineOfTheFileChooses) {
  EXPECT_EQ(PortOfFirstLine({"COM4", "15"}), 4);
  EXPECT_EQ(PortOfFirstLine({"15", "COM4"}), std::nullopt);
  EXPECT_EQ(PortOfFirstLine({}), std::nullopt);
}

}  // namespace
}  // namespace ruvo
