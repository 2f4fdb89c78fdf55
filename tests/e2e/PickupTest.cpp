// How a receipt file gets into the working folder, end to end, with the folder watch on
// ("PreluareImediata") and off (the once-a-second look alone): a file the watch saw renamed
// into place is read whole without a quiet time; one written in place line by line, or by
// a writer that keeps it open, or any file the watch did not see arrive, is read only once
// the driver has seen it quiet and whole.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "DriverRig.h"
#include "E2eFiles.h"

namespace ruvo::e2e {
namespace {

const std::string kArticles = "ABCDEFGHIJK";

// An article of each letter and their payment: a sale whose every line shows on the paper.
std::vector<std::string> Sale() {
  std::vector<std::string> lines;
  for (const char letter : kArticles) {
    lines.push_back(std::string("1;ARTICOL ") + letter + ";BUC;1;1;100;100000");
  }
  lines.push_back("5;1100;1");
  return lines;
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool AppendLine(int fd, const std::string& line) {
  const std::string bytes = line + "\r\n";
  return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

RigOptions Watched(bool on, const std::string& quietMs) {
  RigOptions options;
  options.settings = {std::string("PreluareImediata=") + (on ? "DA" : "NU"),
                      "PauzaFisierScris=" + quietMs};
  return options;
}

class Pickup : public DriverTest, public ::testing::WithParamInterface<bool> {
 protected:
  explicit Pickup(const std::string& quietMs = "500") : DriverTest(Watched(GetParam(), quietMs)) {}

  // One receipt was printed, with every article of the sale, and answered as such.
  void ExpectOneWholeReceipt(int timeoutMs = DriverRig::kAnswerMs) {
    const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT", timeoutMs);
    ASSERT_TRUE(response) << rig.DriverMessages();
    EXPECT_EQ(*response, "0 OK\r\nBON FISCAL NR. 0001\r\n");
    const std::string paper = rig.Ecr().Paper();
    for (const char letter : kArticles) {
      EXPECT_EQ(CountOf(paper, std::string("ARTICOL ") + letter), 1) << letter << "\n" << paper;
    }
    EXPECT_EQ(CountOf(paper, "BON FISCAL NR."), 1) << paper;
  }
};

// A quiet time far beyond the answer's wait: only a file read without one is answered.
class RenamedPickup : public Pickup {
 protected:
  RenamedPickup() : Pickup("10000") {}
};

TEST_P(RenamedPickup, AFileRenamedIntoPlaceIsReadWholeWithoutAQuietTimeWhenWatched) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  const std::string temporary = rig.PathOf("ONLINE.TMP");
  WriteBytes(temporary, ReceiptText(Sale()));
  if (!GetParam()) SleepMs(2500);
  ASSERT_EQ(::rename(temporary.c_str(), rig.PathOf("ONLINE.TXT").c_str()), 0);
  if (GetParam()) {
    ExpectOneWholeReceipt();
    return;
  }
  // Without the watch a rename cannot be told from a write in place: a file's times come
  // from its writer's clock, which may lag the driver's. It waits out the quiet time on the
  // driver's own clock.
  EXPECT_FALSE(rig.AwaitResponse("ONLINE.TXT", 4000).has_value());
  ExpectOneWholeReceipt(15000);
}

TEST_P(Pickup, ALineByLineWriterInPlaceGivesOneWholeReceipt) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  for (const std::string& line : Sale()) {
    const int fd = ::open(rig.PathOf("ONLINE.TXT").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(AppendLine(fd, line));
    ::close(fd);
    SleepMs(150);
  }
  ExpectOneWholeReceipt();
}

TEST_P(Pickup, AWriterThatKeepsTheFileOpenIsWaitedFor) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  const std::vector<std::string> sale = Sale();
  const int fd = ::open(rig.PathOf("ONLINE.TXT").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  for (std::size_t k = 0; k + 1 < sale.size(); ++k) ASSERT_TRUE(AppendLine(fd, sale[k]));
  // Quiet for longer than the quiet time and a tick, but still open: a sale without its
  // payment must not be read.
  SleepMs(2500);
  EXPECT_TRUE(PathExists(rig.PathOf("ONLINE.TXT")));
  EXPECT_FALSE(PathExists(rig.PathOf("ERROR.TXT")));
  ASSERT_TRUE(AppendLine(fd, sale.back()));
  ::close(fd);
  ExpectOneWholeReceipt();
}

INSTANTIATE_TEST_SUITE_P(WatchedOrNot, Pickup, ::testing::Bool());
INSTANTIATE_TEST_SUITE_P(WatchedOrNot, RenamedPickup, ::testing::Bool());

}  // namespace
}  // namespace ruvo::e2e
