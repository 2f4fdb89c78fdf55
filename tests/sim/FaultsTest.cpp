#include <gtest/gtest.h>

#include "Control.h"
#include "SimTestSupport.h"

namespace xruvo_sim::test {
namespace {

void Control(SimBench& bench, const std::string& line) {
  ASSERT_EQ(ApplyControlCommand(bench.engine, line), "") << line;
}

TEST(SimFaults, NakThenNormalAnswers) {
  SimBench bench;
  Control(bench, "nak 2");
  EXPECT_EQ(bench.Exchange("1215"), "\x15");
  EXPECT_EQ(bench.Exchange("1215"), "\x15");
  EXPECT_EQ(bench.Exchange("1215").size(), 32u);
}

TEST(SimFaults, SilenceForSomeFramesOrAlways) {
  SimBench bench;
  Control(bench, "silence 1");
  const std::int64_t before = bench.clock.MonotonicMs();
  EXPECT_EQ(bench.Exchange("1215", 5000), "");
  EXPECT_EQ(bench.clock.MonotonicMs() - before, 5000);  // the whole time-out, in virtual time
  EXPECT_EQ(bench.Exchange("1215").size(), 32u);
  Control(bench, "silence always");
  EXPECT_EQ(bench.Exchange("1215"), "");
  EXPECT_EQ(bench.Exchange("1012"), "");
  Control(bench, "silence off");
  EXPECT_EQ(bench.Data("1012"), "0");
  Control(bench, "silence");  // alone: an ECR switched off, not even a NAK for a bad frame
  EXPECT_EQ(bench.Exchange("1012"), "");
  bench.port.Write(reinterpret_cast<const std::uint8_t*>("\x02"
                                                         "00012"
                                                         "00"
                                                         "\x03"),
                   8);
  EXPECT_EQ(bench.Collect(), "");
}

TEST(SimFaults, ErrorRulesOnceAndAlways) {
  SimBench bench;
  Control(bench, "err 2002 16 once");
  EXPECT_EQ(bench.Data("2002"), "ERR16");
  EXPECT_EQ(bench.Data("2002"), "");
  EXPECT_EQ(bench.engine.GetDevice().LastZNumber(), 1);  // the refused one did not run

  Control(bench, "err 1309 30 always");
  EXPECT_EQ(bench.Data("1309"), "ERR30");
  EXPECT_EQ(bench.Data("1309"), "ERR30");
  Control(bench, "err off");
  EXPECT_EQ(bench.Data("1309"), "00000000");

  // Paper runs out on the second sale, not the first.
  Control(bench, "err 33021 16 once skip 1");
  const std::string sale =
      "33021"
      "001"
      "000001000"
      "01"
      "01A"
      "04 BUC"
      "000100000"
      "0001";
  EXPECT_EQ(bench.Data(sale), "");
  EXPECT_EQ(bench.Data(sale), "ERR16");
  EXPECT_EQ(bench.Data(sale), "");

  Control(bench, "err99 3007 150");
  EXPECT_EQ(bench.Data("3007030000000001000"), "ERR99");
  EXPECT_EQ(bench.Data("1015"), "ERR150");
}

TEST(SimFaults, TypedReportAcknowledgesAloneAndAnswersPollsUntilDone) {
  SimConfig config;
  config.typedReportMs = 12000;
  SimBench bench(config);
  // The driver sees a lone ACK and then nothing for its 5-second time-out.
  EXPECT_EQ(bench.Exchange("220203", 5000), "\x06");
  const std::string busy = bench.Data("1010");
  ASSERT_EQ(busy.size(), 11u);
  EXPECT_EQ(busy.substr(7, 3), "100");
  EXPECT_EQ(bench.Data("1215"), "ERR97");  // busy with the report
  EXPECT_EQ(bench.Collect(5000), "");
  EXPECT_EQ(bench.Data("1010").substr(7, 3), "100");
  // Done 12 s after the request: the rest of the answer completes the first ACK.
  const std::string rest = bench.Collect(5000);
  const std::string whole = "\x06" + rest;
  ASSERT_EQ(whole.size(), 12u);
  EXPECT_EQ(whole.substr(5, 4), "2202");
  EXPECT_EQ(whole.back(), '\x03');
  EXPECT_NE(bench.Data("1010").substr(7, 3), "100");
  EXPECT_EQ(bench.Data("220215"), "ERR03");  // types are 1 to 14
}

TEST(SimFaults, PollsCanBeSilencedToo) {
  SimConfig config;
  config.typedReportMs = 20000;
  SimBench bench(config);
  EXPECT_EQ(bench.Exchange("220301", 5000), "\x06");
  Control(bench, "silence 1");
  EXPECT_EQ(bench.Exchange("1010", 5000), "");
}

TEST(SimFaults, StopEndsTheReportInProgress) {
  SimBench bench;
  EXPECT_EQ(bench.Exchange("220201", 5000), "\x06");
  const std::string answers = bench.Exchange("5005");
  // First the interrupted report's rest ("ERR26"), then the stop's own answer.
  ASSERT_GE(answers.size(), 12u);
  EXPECT_EQ(answers.substr(4, 5), "ERR26");
  EXPECT_FALSE(bench.engine.Busy());
}

TEST(SimFaults, LateAnswerAfterALoneAck) {
  SimBench bench;
  Control(bench, "late 7000");
  EXPECT_EQ(bench.Exchange("3011", 5000), "\x06");
  const std::string rest = bench.Collect(5000);
  EXPECT_EQ(("\x06" + rest).substr(5, 5), "ERR05");  // nothing to close, said late
}

TEST(SimFaults, SlowBytesGarbageAndVanish) {
  SimBench bench;
  Control(bench, "slow 100");
  const std::int64_t before = bench.clock.MonotonicMs();
  EXPECT_EQ(bench.Exchange("1215").size(), 32u);        // each byte within the 5 s time-out
  EXPECT_EQ(bench.clock.MonotonicMs() - before, 3200);  // the first byte takes its time too
  Control(bench, "slow 0");

  Control(bench, "garbage 1");
  const std::string noise = bench.Exchange("1215", 1000);
  ASSERT_FALSE(noise.empty());
  EXPECT_NE(noise[0], '\x06');
  EXPECT_EQ(noise.find('\x03'), std::string::npos);

  Control(bench, "vanish");
  const std::string half = bench.Exchange("1215", 1000);
  EXPECT_EQ(half.size(), 16u);
  EXPECT_TRUE(bench.engine.Vanished());
  EXPECT_EQ(bench.Exchange("1215", 1000), "");
  bench.port.Close();
  EXPECT_FALSE(bench.port.Open("COM1"));
  bench.engine.Revive();
  EXPECT_TRUE(bench.port.Open("COM1"));
  EXPECT_EQ(bench.Exchange("1215").size(), 32u);
}

TEST(SimFaults, ConditionsShowInTheStatusAndStopTheCommands) {
  SimBench bench;
  Control(bench, "paper-out");
  EXPECT_EQ(bench.Data("1215"), "01010011010010000000");
  EXPECT_EQ(bench.Data("1309").substr(1, 1), "1");
  EXPECT_EQ(bench.Data("33021"
                       "001"
                       "000001000"
                       "01"
                       "01A"
                       "04 BUC"
                       "000100000"
                       "0001"),
            "ERR16");
  Control(bench, "paper-out off");
  Control(bench, "cover-open");
  Control(bench, "je-full");
  Control(bench, "mf-absent");
  const std::string status = bench.Data("1215");
  EXPECT_EQ(status[3], '0');
  EXPECT_EQ(status[11], '1');
  EXPECT_EQ(status[6], '0');
  EXPECT_EQ(bench.Data("33021"
                       "001"
                       "000001000"
                       "01"
                       "01A"
                       "04 BUC"
                       "000100000"
                       "0001"),
            "ERR50");
  Control(bench, "clear");
  Control(bench, "status 8 0");
  Control(bench, "status 3 1");
  EXPECT_EQ(bench.Data("1215"), "00110010010010000000");
  Control(bench, "z-due");
  EXPECT_EQ(bench.Data("33021"
                       "001"
                       "000001000"
                       "01"
                       "01A"
                       "04 BUC"
                       "000100000"
                       "0001"),
            "ERR61");
  Control(bench, "je-free 400");
  EXPECT_EQ(bench.Data("8006000000000000").substr(27, 9), "000000400");
  EXPECT_EQ(bench.Data("1215")[13], '1');  // almost full
}

TEST(SimFaults, BadControlCommandsAreRefusedWithAReason) {
  SimBench bench;
  EXPECT_NE(ApplyControlCommand(bench.engine, "launch rockets"), "");
  EXPECT_NE(ApplyControlCommand(bench.engine, "nak many"), "");
  EXPECT_NE(ApplyControlCommand(bench.engine, "err 2002 160"), "");
  EXPECT_NE(ApplyControlCommand(bench.engine, "err 2002 16 twice"), "");
  EXPECT_NE(ApplyControlCommand(bench.engine, "err 2002 16 once skip x"), "");
  EXPECT_NE(ApplyControlCommand(bench.engine, "err 2002"), "");
  EXPECT_NE(ApplyControlCommand(bench.engine, "status 21 1"), "");
  EXPECT_NE(ApplyControlCommand(bench.engine, "paper-out maybe"), "");
  EXPECT_NE(ApplyControlCommand(bench.engine, "lose 3011"), "");
  EXPECT_NE(ApplyControlCommand(bench.engine, "lose 3011 sideways"), "");
  EXPECT_NE(ApplyControlCommand(bench.engine, "lose 3011 after skip -1"), "");
  EXPECT_EQ(ApplyControlCommand(bench.engine, ""), "");
  EXPECT_EQ(ApplyControlCommand(bench.engine, "# a comment"), "");
}

}  // namespace
}  // namespace xruvo_sim::test
