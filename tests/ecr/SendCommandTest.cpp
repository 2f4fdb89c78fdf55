#include <gtest/gtest.h>

#include <string>

#include "LinkFixture.h"
#include "ecr/FrameLink.h"

namespace ruvo::test {
namespace {

std::string BigEndian(std::uint32_t n) {
  return std::string{static_cast<char>(n >> 24), static_cast<char>((n >> 16) & 0xFF),
                     static_cast<char>((n >> 8) & 0xFF), static_cast<char>(n & 0xFF)};
}

// --- Completion ------------------------------------------------------------------------

TEST_F(FrameLinkTest, CompleteAnswerEndsTheWaitAtOnce) {
  port->QueueAnswer(Answer("HELLO"), 30);
  EXPECT_EQ(link->SendCommand("1001"), 0);
  EXPECT_EQ(link->LastAnswer(), "HELLO");
  EXPECT_EQ(Elapsed(), 30);
  EXPECT_EQ(port->written, std::vector<std::string>{Frame("1001")});
  EXPECT_GT(pump.calls, 0);
}

TEST_F(FrameLinkTest, AnswerSplitIntoTwoPiecesAtEveryPosition) {
  const std::string answer = Answer("0123456789");
  for (std::size_t cut = 1; cut < answer.size(); ++cut) {
    port->Queue({Chunk{5, answer.substr(0, cut)}, Chunk{5, answer.substr(cut)}});
    EXPECT_EQ(link->SendCommand("1001"), 0) << "cut at " << cut;
    EXPECT_EQ(link->LastAnswer(), "0123456789") << "cut at " << cut;
  }
}

TEST_F(FrameLinkTest, AnswerArrivingByteByByte) {
  const std::string answer = Answer("ABC");
  Reaction bytes;
  for (char c : answer) bytes.push_back(Chunk{1, std::string(1, c)});
  port->Queue(bytes);
  EXPECT_EQ(link->SendCommand("1001"), 0);
  EXPECT_EQ(link->LastAnswer(), "ABC");
  EXPECT_EQ(link->RxCount(), static_cast<std::int32_t>(answer.size()));
}

TEST_F(FrameLinkTest, BytesAfterACompleteAnswerInTheSamePieceAreNotPartOfIt) {
  port->QueueAnswer(Answer("DATA") + "\x06junk", 5);
  EXPECT_EQ(link->SendCommand("1001"), 0);
  EXPECT_EQ(link->LastAnswer(), "DATA");
  EXPECT_EQ(Elapsed(), 5);
}

TEST_F(FrameLinkTest, TenByteAnswerEndingInEtxNeverCompletes) {
  port->QueueAnswer(std::string("\x06"
                                "12345678"
                                "\x03"),
                    5);
  EXPECT_EQ(link->SendCommand("1001"), FrameLink::kErrTimeOut);
  EXPECT_EQ(Elapsed(), 5005);
  EXPECT_EQ(link->LastAnswer(), "");
}

TEST_F(FrameLinkTest, AnswerStartingWithShiftInSucceedsWithoutData) {
  port->QueueAnswer(Answer("IGNORED", '\x0F'), 5);
  EXPECT_EQ(link->SendCommand("1001"), 0);
  EXPECT_EQ(link->LastAnswer(), "");
}

TEST_F(FrameLinkTest, ZeroBytesInTheAnswerReachTheCaller) {
  port->QueueAnswer(Answer(std::string("A\0B", 3)), 5);
  EXPECT_EQ(link->SendCommand("1001"), 0);
  EXPECT_EQ(link->LastAnswer(), std::string("A\0B", 3));
}

// --- Error answers ---------------------------------------------------------------------

TEST_F(FrameLinkTest, ErrorAnswerGivesItsCode) {
  port->QueueAnswer(ErrorAnswer("16"), 5);
  EXPECT_EQ(link->SendCommand("3003"), 16);
  EXPECT_EQ(link->LastAnswer(), "ERR16");

  port->QueueAnswer(ErrorAnswer("07"), 5);
  EXPECT_EQ(link->SendCommand("3003"), 7);
}

TEST_F(FrameLinkTest, ErrorAnswerWithoutANumberIsANak) {
  port->QueueAnswer(ErrorAnswer("AB"), 5);
  EXPECT_EQ(link->SendCommand("3003"), FrameLink::kErrNak);
  EXPECT_EQ(link->LastAnswer(), "ERRAB");
}

// --- Time-out --------------------------------------------------------------------------

TEST_F(FrameLinkTest, SilenceTimesOutAfterTheInterval) {
  link->SetTimeOut(-1);
  EXPECT_EQ(link->SendCommand("2002"), FrameLink::kErrTimeOut);
  EXPECT_EQ(Elapsed(), 5000);
  EXPECT_EQ(link->LastAnswer(), "");
  EXPECT_EQ(port->written.size(), 1u);

  link->SetTimeOut(180);
  EXPECT_EQ(link->SendCommand("2002"), FrameLink::kErrTimeOut);
  EXPECT_EQ(Elapsed(), 185000);
}

// The answer of a command that timed out, arriving before the next frame goes out, is not
// taken for that frame's answer.
TEST_F(FrameLinkTest, AnAnswerThatCameTooLateIsNotTheNextCommandsAnswer) {
  link->SetTimeOut(-1);
  port->QueueAnswer(Answer("LATE"), 5500);
  EXPECT_EQ(link->SendCommand("2002"), FrameLink::kErrTimeOut);
  clock.Advance(1000);
  port->QueueAnswer(Answer("OWN"), 20);
  EXPECT_EQ(link->SendCommand("1001"), 0);
  EXPECT_EQ(link->LastAnswer(), "OWN");
}

TEST_F(FrameLinkTest, SlowEcrRestartsTheIdleTimeOutWithEveryByte) {
  const std::string answer = Answer("SLOW");
  Reaction slow;
  for (char c : answer) slow.push_back(Chunk{4000, std::string(1, c)});
  port->Queue(slow);
  EXPECT_EQ(link->SendCommand("2002"), 0);
  EXPECT_EQ(link->LastAnswer(), "SLOW");
  EXPECT_EQ(Elapsed(), 4000 * static_cast<std::int64_t>(answer.size()));
}

TEST_F(FrameLinkTest, PauseLongerThanTheIntervalInsideAnAnswerTimesOut) {
  const std::string answer = Answer("SLOW");
  port->Queue({Chunk{4999, answer.substr(0, 6)}, Chunk{5001, answer.substr(6)}});
  EXPECT_EQ(link->SendCommand("2002"), FrameLink::kErrTimeOut);
  EXPECT_EQ(Elapsed(), 4999 + 5000);
}

// --- NAK -------------------------------------------------------------------------------

TEST_F(FrameLinkTest, LoneNakEndsWithNackAfterTheIntervalWithoutResending) {
  port->QueueAnswer("\x15", 5);
  port->QueueAnswer(Answer("NEVER"), 5);  // would answer a second frame
  EXPECT_EQ(link->SendCommand("3003"), FrameLink::kErrNak);
  EXPECT_EQ(Elapsed(), 5005);
  EXPECT_EQ(port->written.size(), 1u);
  EXPECT_EQ(link->LastAnswer(), "");
}

TEST_F(FrameLinkTest, NakFollowedByAnErrorFrameGivesTheErrorCode) {
  std::string rejected = ErrorAnswer("24");
  rejected[0] = '\x15';
  port->QueueAnswer(rejected, 5);
  EXPECT_EQ(link->SendCommand("3003"), 24);
  EXPECT_LE(port->written.size(), 3u);
}

// --- Status poll -----------------------------------------------------------------------

TEST_F(FrameLinkTest, LoneAckWithoutPollingTimesOut) {
  port->QueueAnswer("\x06", 10);
  EXPECT_EQ(link->SendCommand("2202"), FrameLink::kErrTimeOut);
  EXPECT_EQ(port->written.size(), 1u);
}

TEST_F(FrameLinkTest, PollsKeepALongCommandAliveWhileTheEcrIsBusy) {
  link->SetStatusPollEnabled(true);
  const std::string answer = Answer("DONE");
  port->QueueAnswer(answer.substr(0, 1), 10);
  port->QueueAnswer(PollAnswer("100"), 20);
  port->QueueAnswer(PollAnswer("100"), 20);
  port->Queue({Chunk{20, PollAnswer("100")}, Chunk{3000, answer.substr(1)}});
  EXPECT_EQ(link->SendCommand("2202"), 0);
  EXPECT_EQ(link->LastAnswer(), "DONE");
  const std::string poll = Frame("1010");
  EXPECT_EQ(port->written, (std::vector<std::string>{Frame("2202"), poll, poll, poll}));
  // ACK at 10, then each poll goes out a whole interval after the last byte.
  EXPECT_EQ(Elapsed(), 10 + 3 * (5000 + 20) + 3000);
}

TEST_F(FrameLinkTest, PollAnsweredWithAnotherStateStillWaits) {
  link->SetStatusPollEnabled(true);
  const std::string answer = Answer("DONE");
  port->QueueAnswer(answer.substr(0, 1), 10);
  port->Queue({Chunk{20, PollAnswer("000")}, Chunk{100, answer.substr(1)}});
  EXPECT_EQ(link->SendCommand("2203"), 0);
  EXPECT_EQ(link->LastAnswer(), "DONE");
}

TEST_F(FrameLinkTest, UnansweredPollEndsTheCommandWithTimeOut) {
  link->SetStatusPollEnabled(true);
  port->QueueAnswer("\x06", 10);
  port->QueueAnswer(PollAnswer("100"), 20);
  EXPECT_EQ(link->SendCommand("2202"), FrameLink::kErrTimeOut);
  EXPECT_EQ(port->written.size(), 3u);
  EXPECT_EQ(Elapsed(), 10 + 5000 + 20 + 5000 + 5000);
}

TEST_F(FrameLinkTest, NoPollWhenMoreThanTheAckArrived) {
  link->SetStatusPollEnabled(true);
  port->QueueAnswer(
      "\x06"
      "00",
      10);
  EXPECT_EQ(link->SendCommand("2202"), FrameLink::kErrTimeOut);
  EXPECT_EQ(port->written.size(), 1u);
}

// --- Length-prefixed answers -----------------------------------------------------------

TEST_F(FrameLinkTest, LengthPrefixedAnswerCompletesByItsAnnouncedLength) {
  link->SetLengthPrefixed(true);
  std::string data;
  for (int i = 0; i < 3000; ++i) data += static_cast<char>(i % 256);  // binary, with ETX bytes
  const std::string answer = std::string("\x06") + BigEndian(3000) + data + std::string(15, 'T');
  Reaction pieces;
  for (std::size_t at = 0; at < answer.size(); at += 700)
    pieces.push_back(Chunk{2, answer.substr(at, 700)});
  port->Queue(pieces);
  EXPECT_EQ(link->SendCommand("7404"), 0);
  EXPECT_EQ(link->AnswerLength(), 3000);
  EXPECT_EQ(link->LengthPrefixedData(), data);
}

TEST_F(FrameLinkTest, LengthPrefixedAnswerAnnouncingNothingTimesOut) {
  link->SetLengthPrefixed(true);
  port->QueueAnswer(std::string("\x06\0\0\0\0", 5) + std::string(30, 'x') + "\x03", 5);
  EXPECT_EQ(link->SendCommand("7404"), FrameLink::kErrTimeOut);
  EXPECT_EQ(link->AnswerLength(), 0);
  EXPECT_TRUE(link->LengthPrefixedData().empty());
}

TEST_F(FrameLinkTest, LengthPrefixedAnswerLongerThanTheBufferTimesOutSafely) {
  link->SetLengthPrefixed(true);
  port->QueueAnswer(std::string("\x06") + BigEndian(0xFFFFFF00u) + "abc", 5);
  EXPECT_EQ(link->SendCommand("7404"), FrameLink::kErrTimeOut);
  EXPECT_TRUE(link->LengthPrefixedData().empty());  // negative as a signed length

  port->QueueAnswer(std::string("\x06") + BigEndian(10'000'000u) + "abc", 5);
  EXPECT_EQ(link->SendCommand("7404"), FrameLink::kErrTimeOut);
  EXPECT_EQ(link->LengthPrefixedData(), "abc");  // cut to what arrived
}

// --- Hostile lines ---------------------------------------------------------------------

TEST_F(FrameLinkTest, FloodLargerThanTheReceiveBufferStaysInsideIt) {
  // 4.1 MB of noise, one 1000-byte piece per millisecond.
  Reaction flood;
  const std::string noise(1000, 'Z');
  for (int i = 0; i < 4100; ++i) flood.push_back(Chunk{1, noise});
  port->Queue(flood);
  EXPECT_EQ(link->SendCommand("1001"), FrameLink::kErrTimeOut);
  EXPECT_EQ(link->RxCount(), static_cast<std::int32_t>(FrameLink::kRxBufferSize));
  // Noise that no longer fits does not keep the wait alive.
  EXPECT_EQ(Elapsed(), 4000 + 5000);
}

TEST_F(FrameLinkTest, FloodDuringAPollStaysInsideThePollBuffer) {
  link->SetStatusPollEnabled(true);
  port->QueueAnswer("\x06", 10);
  Reaction flood;
  for (int i = 0; i < 5; ++i) flood.push_back(Chunk{1, std::string(1000, '\x03')});
  port->Queue(flood);
  EXPECT_EQ(link->SendCommand("2202"), FrameLink::kErrTimeOut);
  EXPECT_EQ(link->RxCount(), 1);
}

TEST_F(FrameLinkTest, PieceBiggerThanARead) {
  port->QueueAnswer(Answer(std::string(2500, 'q')), 5);
  EXPECT_EQ(link->SendCommand("7403060"), 0);
  EXPECT_EQ(link->LastAnswer(), std::string(2500, 'q'));
}

// --- Port trouble ----------------------------------------------------------------------

TEST_F(FrameLinkTest, FailedWriteTimesOutAtOnce) {
  port->writeSucceeds = false;
  EXPECT_EQ(link->SendCommand("1001"), FrameLink::kErrTimeOut);
  EXPECT_EQ(Elapsed(), 0);
  EXPECT_TRUE(link->ExchangeLog().empty());
}

}  // namespace
}  // namespace ruvo::test
