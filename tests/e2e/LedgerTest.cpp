// What the delivery ledger stands for when the folder moved on outside the driver: a
// second driver on the folder, a damaged journal, a lost pin, a file written in place by
// a writer whose clock lags. Real driver, simulator, kill -9.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "DriverRig.h"
#include "E2eFiles.h"
#include "support/ChildProcess.h"

namespace ruvo::e2e {
namespace {

const std::vector<std::string> kSale = {"1;PAINE ALBA;BUC;1;1;250;100000",
                                        "1;LAPTE UHT;L;1;2;675;100000", "5;925;1"};

int FiscalReceipts(const std::string& paper) { return CountOf(paper, "BON FISCAL NR. "); }

bool AwaitLostAnswer(SimulatedEcr& ecr) {
  return WaitUntil([&] { return ecr.Messages().find("xruvo_sim: lost ") != std::string::npos; },
                   DriverRig::kAnswerMs);
}

std::vector<std::string> Named(const std::string& folder, const std::string& prefix) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0) names.push_back(name);
  }
  return names;
}

class LedgerTest : public DriverTest {
 protected:
  // A sale killed once its receipt is closed and cut, the answer not yet saved.
  void KillAfterTheCut() {
    ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
    ASSERT_TRUE(rig.Ecr().Control("lose 3015 after"));
    ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText(kSale)));
    ASSERT_TRUE(AwaitLostAnswer(rig.Ecr())) << rig.Ecr().Messages() << rig.DriverMessages();
    ASSERT_TRUE(rig.KillDriver());
    ASSERT_EQ(FiscalReceipts(rig.Ecr().Paper()), 1);
  }
};

// Another instance name (and so another runtime folder) is no second working folder.
TEST_F(LedgerTest, ASecondDriverOnTheFolderIsRefusedNamingTheFirst) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  ChildProcess second;
  // Its output goes beside the rig's files (the runtime base is the rig's own folder).
  const std::string err = rig.RuntimeBase() + "/second.err";
  std::vector<std::string> environment = rig.Environment();
  ASSERT_TRUE(second.Start({RUVO_DRV_PATH, "--headless", "--dir", rig.Folder(), "--instance",
                            rig.Instance() + "-2"},
                           rig.RuntimeBase() + "/second.out", err, environment));
  EXPECT_EQ(second.Wait(8000), 1);
  const std::string said = ReadBytes(err);
  EXPECT_NE(said.find("pid " + std::to_string(rig.DriverPid())), std::string::npos) << said;
  // The first goes on serving the folder alone.
  EXPECT_EQ(rig.Run("ONLINE.TXT", kSale),
            (std::vector<std::string>{"0 OK", "BON FISCAL NR. 0001"}));
}

// A journal cut short is neither read as fewer records nor written over: the interrupted
// sale waits unanswered and unprinted, a copy of the journal is kept aside, and the
// operator is told which file it is and what to do.
TEST_F(LedgerTest, ADamagedJournalKeepsTheFileWaitingAndIsSaid) {
  KillAfterTheCut();
  const std::string journal = rig.PathOf(".ruvodrv-journal");
  const std::string bytes = ReadBytes(journal);
  ASSERT_FALSE(bytes.empty());
  WriteBytes(journal, bytes.substr(0, bytes.size() * 6 / 10));
  ASSERT_TRUE(rig.RestartDriver()) << rig.DriverMessages();
  EXPECT_FALSE(rig.AwaitResponse("ONLINE.TXT", 3000).has_value());
  EXPECT_TRUE(PathExists(rig.PathOf("ONLINE.TXT")));
  EXPECT_EQ(FiscalReceipts(rig.Ecr().Paper()), 1) << rig.Ecr().Paper();
  EXPECT_EQ(ReadBytes(journal), bytes.substr(0, bytes.size() * 6 / 10));
  EXPECT_EQ(Named(rig.Folder(), ".ruvodrv-journal-damaged-").size(), 1u);
  const std::string said = rig.DriverMessages();
  EXPECT_NE(said.find("is damaged"), std::string::npos) << said;
  EXPECT_NE(said.find(".ruvodrv-journal-damaged-"), std::string::npos) << said;
  // Said where the shop looks: the status file and ctl status, not only the log.
  EXPECT_NE(rig.Status("Atentionari").find(".ruvodrv-journal-damaged-"), std::string::npos)
      << rig.Status("Atentionari");
  ChildProcess ctl;
  ASSERT_TRUE(ctl.Start({RUVO_DRV_PATH, "ctl", "--instance", rig.Instance(), "status"},
                        rig.PathOf("ctl.out"), rig.PathOf("ctl.err"), rig.Environment()));
  ctl.Wait(DriverRig::kAnswerMs);
  EXPECT_NE(ReadBytes(rig.PathOf("ctl.out")).find(".ruvodrv-journal-damaged-"), std::string::npos)
      << ReadBytes(rig.PathOf("ctl.out")) << ReadBytes(rig.PathOf("ctl.err"));
  // The operator checked the ECR, removed the printed file and the journal: all goes on.
  ASSERT_TRUE(std::filesystem::remove(rig.PathOf("ONLINE.TXT")));
  ASSERT_TRUE(std::filesystem::remove(journal));
  EXPECT_EQ(rig.Run("ONLINE2.TXT", kSale),
            (std::vector<std::string>{"0 OK", "BON FISCAL NR. 0002"}));
}

// The pin deleted, or the folder restored from a copy made without hard links: the file
// is no longer the one pinned, but its bytes are the record's, and the ECR shows its
// receipt closed: it is answered with that number, not printed again.
TEST_F(LedgerTest, ALostPinDoesNotPrintTheSaleAgain) {
  KillAfterTheCut();
  for (const std::string& pin : Named(rig.Folder(), ".ruvodrv-pin-")) {
    ASSERT_TRUE(std::filesystem::remove(rig.PathOf(pin)));
  }
  // Copied back without links: a new inode.
  const std::string bytes = ReadBytes(rig.PathOf("ONLINE.TXT"));
  ASSERT_TRUE(std::filesystem::remove(rig.PathOf("ONLINE.TXT")));
  WriteBytes(rig.PathOf("ONLINE.TXT"), bytes);
  ASSERT_TRUE(rig.RestartDriver()) << rig.DriverMessages();
  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
  ASSERT_TRUE(response) << rig.DriverMessages();
  EXPECT_EQ(*response, "0 OK\r\nBON FISCAL NR. 0001\r\n");
  EXPECT_EQ(FiscalReceipts(rig.Ecr().Paper()), 1) << rig.Ecr().Paper();
}

// The application gives up waiting and writes the same file again in place while it
// prints: truncated, then the same bytes a quarter of a second later. It is the same
// delivery, answered once, printed once.
TEST_F(LedgerTest, TheSameBytesWrittenAgainInPlaceDuringTheRunPrintOnce) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  ASSERT_TRUE(rig.Ecr().Control("delay 250"));
  const std::string bytes = ReceiptText(kSale);
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", bytes));
  const std::string path = rig.PathOf("ONLINE.TXT");
  ASSERT_TRUE(
      WaitUntil([&] { return PathExists(rig.PathOf(".ruvodrv-journal")); }, DriverRig::kAnswerMs));
  for (int retry = 0; retry < 2; ++retry) {
    const int cut = ::open(path.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(cut, 0) << "the run ended before the retry";
    ::close(cut);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
  ASSERT_TRUE(response) << rig.DriverMessages();
  EXPECT_EQ(*response, "0 OK\r\nBON FISCAL NR. 0001\r\n");
  std::this_thread::sleep_for(std::chrono::seconds(3));
  EXPECT_FALSE(PathExists(path));
  EXPECT_EQ(FiscalReceipts(rig.Ecr().Paper()), 1) << rig.Ecr().Paper();
}

RigOptions Unwatched() {
  RigOptions options;
  options.settings = {"PreluareImediata=NU"};
  return options;
}

class UnwatchedTest : public DriverTest {
 protected:
  UnwatchedTest() : DriverTest(Unwatched()) {}
};

// Sets the file's times seconds before the driver's clock, as a file server whose clock
// lags writes them.
void Lag(const std::string& path, int seconds) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  now.tv_sec -= seconds;
  const timespec times[2] = {now, now};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// A file written in place a line at a time, each write stamped 3 seconds in the past by
// the writer's clock: the driver counts the quiet time on its own clock and reads it whole.
TEST_F(UnwatchedTest, AFileWrittenInPlaceByALaggingClockIsReadWhole) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  std::vector<std::string> lines;
  for (int i = 1; i <= 8; ++i)
    lines.push_back("1;ARTICOL " + std::to_string(i) + ";BUC;1;1;100;100000");
  lines.push_back("5;800;1");
  const std::string path = rig.PathOf("ONLINE.TXT");
  // Opened and closed for every line, as a writer on another machine is seen: no process
  // here holds the file.
  for (const std::string& line : lines) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ASSERT_GE(fd, 0);
    const std::string bytes = line + "\r\n";
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
    Lag(path, 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
  ASSERT_TRUE(response) << rig.DriverMessages();
  EXPECT_EQ(*response, "0 OK\r\nBON FISCAL NR. 0001\r\n");
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "ARTICOL 8"), 1) << rig.Ecr().Paper();
  EXPECT_EQ(FiscalReceipts(rig.Ecr().Paper()), 1) << rig.Ecr().Paper();
}

}  // namespace
}  // namespace ruvo::e2e
