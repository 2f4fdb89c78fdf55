#include <gtest/gtest.h>

#include "SimTestSupport.h"

namespace xruvo_sim::test {
namespace {

TEST(SimProtocol, StatusAnswerHasTheDriversShape) {
  SimBench bench;
  const std::string answer = bench.Exchange("1215");
  ASSERT_EQ(answer.size(), 32u);  // 20 characters of data + 12
  EXPECT_EQ(answer.front(), '\x06');
  EXPECT_EQ(answer.back(), '\x03');
  EXPECT_EQ(answer.substr(5, 4), "1215");
  EXPECT_EQ(DataOf(answer), "00010011010010000000");
  // The answer's own checksum covers everything between ACK and the checksum.
  EXPECT_EQ(answer.substr(answer.size() - 3, 2), Checksum(answer.substr(1, answer.size() - 4)));
}

TEST(SimProtocol, EveryAnswerIsDataPlusTwelveBytes) {
  SimBench bench;
  for (const std::string text :
       {"1012", "1112", "1008", "1004", "1309", "1111", "1015", "8006000000000000"}) {
    const std::string answer = bench.Exchange(text);
    ASSERT_GE(answer.size(), 12u) << text;
    EXPECT_EQ(answer.substr(5, 4), text.substr(0, 4)) << text;
    EXPECT_EQ(answer.back(), '\x03') << text;
  }
  EXPECT_EQ(bench.Data("1012"), "0");
  EXPECT_EQ(bench.Data("1112"), "00000");
  EXPECT_EQ(bench.Data("1004").size(), 253u);
  EXPECT_EQ(bench.Data("1309"), "00000000");
  EXPECT_EQ(bench.Data("1015"), "ERR000");
}

TEST(SimProtocol, JournalFreeLinesSitAtPositions28To36) {
  SimConfig config;
  config.jeFreeLines = 123456;
  SimBench bench(config);
  const std::string data = bench.Data("8006000000000000");
  ASSERT_GT(data.size(), 35u);
  EXPECT_EQ(data.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_EQ(data.substr(27, 9), "000123456");
}

TEST(SimProtocol, ErrorAnswersCarryErrAndTwoDigits) {
  SimBench bench;
  const std::string answer = bench.Exchange("9999");  // no such command
  ASSERT_EQ(answer.size(), 13u);
  EXPECT_EQ(answer.substr(5, 5), "ERR04");
  EXPECT_EQ(bench.Data("3011"), "ERR05");    // no receipt to close
  EXPECT_EQ(bench.Data("1113AB"), "ERR24");  // malformed field
}

TEST(SimProtocol, DamagedFramesAreRefusedAndNoiseIsIgnored) {
  SimBench bench;
  std::string frame = Frame("1215");
  frame[frame.size() - 2] = frame[frame.size() - 2] == '0' ? '1' : '0';
  bench.port.Write(reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size());
  EXPECT_EQ(bench.Collect(), "\x15");
  // Noise before the STX and a frame cut short by a new STX do no harm.
  const std::string noisy = std::string("\xFF\x00zz", 4) + "\x02" + "0001" + Frame("1012");
  bench.port.Write(reinterpret_cast<const std::uint8_t*>(noisy.data()), noisy.size());
  EXPECT_EQ(DataOf(bench.Collect()), "0");
  // An endless frame is dropped instead of hoarded.
  const std::string endless = "\x02" + std::string(10000, '7');
  bench.port.Write(reinterpret_cast<const std::uint8_t*>(endless.data()), endless.size());
  EXPECT_EQ(bench.Collect(), "");
  EXPECT_EQ(bench.Data("1012"), "0");
}

TEST(SimProtocol, PollIsNotBusyWhenIdle) {
  SimBench bench;
  const std::string data = bench.Data("1010");
  ASSERT_EQ(data.size(), 11u);
  EXPECT_NE(data.substr(7, 3), "100");
}

TEST(SimProtocol, PacingSpreadsTheAnswerOverVirtualTime) {
  SimConfig config;
  config.byteTimeUs = 87;
  config.answerDelayMs = 20;
  SimBench bench(config);
  const std::int64_t before = bench.clock.MonotonicMs();
  const std::string answer = bench.Exchange("1215");
  EXPECT_EQ(answer.size(), 32u);
  // The 11 request bytes cross the wire (0.96 ms), 20 ms of thinking, then 32 answer
  // bytes of 87 us each.
  EXPECT_EQ(bench.clock.MonotonicMs() - before, 24);
}

TEST(SimProtocol, PortOpensOnlyTheConfiguredNames) {
  ruvo::VirtualClock clock;
  Engine engine(clock);
  SimSerialPort port(engine, clock);
  port.SetPortRange(3, 3);
  EXPECT_FALSE(port.Open("COM1"));
  EXPECT_FALSE(port.Open("COM"));
  EXPECT_FALSE(port.Open("/dev/ttyS0"));
  EXPECT_TRUE(port.Open("COM3"));
  EXPECT_FALSE(port.Open("COM3"));  // already open
  port.Close();
  std::uint8_t byte = 0;
  EXPECT_FALSE(port.Write(&byte, 1));
  EXPECT_EQ(port.Read(&byte, 1, 500), 0u);
  EXPECT_EQ(clock.MonotonicMs(), 500);  // a closed port still waits the time-out
}

}  // namespace
}  // namespace xruvo_sim::test
