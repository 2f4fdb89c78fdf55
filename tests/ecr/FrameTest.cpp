#include <gtest/gtest.h>

#include <string>

#include "LinkFixture.h"
#include "ecr/FrameLink.h"

namespace ruvo::test {
namespace {

TEST(RequestFrame, HasStxFixedPrefixTextChecksumAndEtx) {
  EXPECT_EQ(FrameLink::BuildFrame("2002"),
            std::string("\x02\x30\x30\x30\x32\x30\x30\x32\x34\x30\x03"));
}

TEST(RequestFrame, ChecksumIsTwoDigitsOfTheSumWithoutStx) {
  EXPECT_EQ(FrameLink::CalcChecksum("1010"), "38");
  EXPECT_EQ(FrameLink::CalcChecksum("2002"), "40");
  // 144 + 263 = 407: a remainder below ten keeps its leading zero.
  EXPECT_EQ(FrameLink::CalcChecksum("99500"), "07");
  EXPECT_EQ(FrameLink::CalcChecksum(""), "44");
  // Bytes above 127 count by their unsigned value.
  EXPECT_EQ(FrameLink::CalcChecksum("\x96"), "94");
}

TEST(RequestFrame, LongestTextFillsTheSendBufferExactly) {
  EXPECT_EQ(FrameLink::BuildFrame(std::string(993, 'A')).size(), 1000u);
  EXPECT_TRUE(FrameLink::BuildFrame(std::string(994, 'A')).empty());
}

TEST_F(FrameLinkTest, TextTooLongForAFrameFailsWithoutWriting) {
  EXPECT_EQ(link->SendCommand(std::string(994, '1')), FrameLink::kErrTextTooLong);
  EXPECT_TRUE(port->written.empty());
  EXPECT_EQ(Elapsed(), 0);
}

TEST_F(FrameLinkTest, LogLinesCarryTimeStampLabelAndHexBytes) {
  port->QueueAnswer(Answer("7"), 10);
  ASSERT_TRUE(link->RunCommand("2002", -1));
  const auto& log = link->ExchangeLog();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0], "14:03:07:125-Calculator : 2002");
  EXPECT_EQ(log[1], "14:03:07:125-Calculator : 02 30 30 30 32 30 30 32 34 30 03 ");
  EXPECT_EQ(log[2], "14:03:07:135-Ecr        : 06 30 30 30 30 31 32 31 35 37 30 30 03 ");
  EXPECT_EQ(log[3], "14:03:07:135-Ecr result : 0");
}

TEST_F(FrameLinkTest, LogShowsEveryByteIncludingZeroAndHighBytes) {
  port->QueueAnswer(Answer(std::string("\x00\xFF\x96", 3)), 1);
  ASSERT_EQ(link->SendCommand("1001"), 0);
  EXPECT_EQ(link->LastAnswer(), std::string("\x00\xFF\x96", 3));
  EXPECT_NE(link->ExchangeLog().back().find("35 00 FF 96 30 30 03 "), std::string::npos);
}

TEST_F(FrameLinkTest, TimeOutIntervalFallsBackToFiveSeconds) {
  link->SetTimeOut(-1);
  EXPECT_EQ(link->TimeOutMs(), 5000);
  link->SetTimeOut(0);
  EXPECT_EQ(link->TimeOutMs(), 5000);
  link->SetTimeOut(180);
  EXPECT_EQ(link->TimeOutMs(), 180000);
  // A huge LongTimeOut setting must not wrap around into a negative interval.
  link->SetTimeOut(2147483647);
  EXPECT_EQ(link->TimeOutMs(), 2147483647000LL);
}

}  // namespace
}  // namespace ruvo::test
