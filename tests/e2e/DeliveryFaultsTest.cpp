// Faults around a receipt file's end, against the simulator with its paper as the truth:
// an answer that cannot be saved, a journal that cannot be saved, a response name taken by
// a folder, a file that cannot be removed.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "DriverRig.h"
#include "E2eFiles.h"
#include "SyscallFaults.h"
#include "platform/Files.h"

namespace ruvo::e2e {
namespace {

std::vector<std::string> Sale(const std::string& article) {
  return {"1;" + article + ";BUC;1;1;250;100000", "1;LAPTE UHT;L;1;2;675;100000", "5;925;1"};
}

// The fiscal receipts on the paper that hold text.
std::vector<std::string> FiscalReceiptsWith(const std::string& paper, const std::string& text) {
  std::vector<std::string> found;
  std::size_t start = 0;
  while (start < paper.size()) {
    std::size_t end = paper.find(kCutLine, start);
    if (end == std::string::npos) end = paper.size();
    const std::string piece = paper.substr(start, end - start);
    if (piece.find("BON FISCAL NR. ") != std::string::npos &&
        piece.find(text) != std::string::npos) {
      found.push_back(piece);
    }
    start = end + kCutLine.size();
  }
  return found;
}

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

using DeliveryFaultsTest = DriverTest;

TEST_F(DeliveryFaultsTest, AFolderInPlaceOfOneAnswerHoldsUpOnlyItsOwnReceiptFile) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  ASSERT_EQ(mkdir(rig.PathOf("ERROR.TXT").c_str(), 0755), 0);
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText(Sale("ARTICOL-UNU"))));
  ASSERT_TRUE(rig.Drop("ONLINE2.TXT", ReceiptText(Sale("ARTICOL-DOI"))));
  const std::optional<std::string> second = rig.AwaitResponse("ONLINE2.TXT");
  ASSERT_TRUE(second) << rig.DriverMessages();
  EXPECT_EQ(*second, "0 OK\r\nBON FISCAL NR. 0001\r\n");
  Pause(2500);
  EXPECT_TRUE(PathExists(rig.PathOf("ONLINE.TXT")));
  EXPECT_TRUE(FiscalReceiptsWith(rig.Ecr().Paper(), "ARTICOL-UNU").empty()) << rig.Ecr().Paper();
  EXPECT_EQ(CountOf(rig.DriverMessages(), "cannot write the response file ERROR.TXT"), 1)
      << rig.DriverMessages();

  ASSERT_EQ(rmdir(rig.PathOf("ERROR.TXT").c_str()), 0);
  const std::optional<std::string> first = rig.AwaitResponse("ONLINE.TXT");
  ASSERT_TRUE(first) << rig.DriverMessages();
  EXPECT_EQ(*first, "0 OK\r\nBON FISCAL NR. 0002\r\n");
  EXPECT_EQ(FiscalReceiptsWith(rig.Ecr().Paper(), "ARTICOL-UNU").size(), 1u) << rig.Ecr().Paper();
  EXPECT_EQ(FiscalReceiptsWith(rig.Ecr().Paper(), "ARTICOL-DOI").size(), 1u) << rig.Ecr().Paper();
}

// A non-fiscal receipt ran to its end, but its answer cannot be saved; the driver is killed
// while it waits. The answer it got is the one given once the folder takes it.
TEST_F(DeliveryFaultsTest, AnAnswerThatCannotBeSavedIsGivenTrueAfterARestart) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  ASSERT_TRUE(rig.Ecr().Control("delay 150"));
  ASSERT_TRUE(rig.Drop("ONLINE.TXT",
                       ReceiptText({"20", "21;1;COMANDA NR. 12", "21;1;MULTUMIM PENTRU VIZITA"})));
  ASSERT_TRUE(
      WaitUntil([&] { return rig.Ecr().Paper().find("COMANDA NR. 12") != std::string::npos; },
                DriverRig::kAnswerMs));
  ASSERT_EQ(mkdir(rig.PathOf("ERROR.TXT").c_str(), 0755), 0);
  ASSERT_TRUE(WaitUntil(
      [&] {
        return rig.DriverMessages().find("cannot write the response file") != std::string::npos;
      },
      DriverRig::kAnswerMs))
      << rig.DriverMessages();
  Pause(2500);
  // Told once, not a log file a second.
  EXPECT_EQ(CountOf(rig.DriverMessages(), "cannot write the response file ERROR.TXT"), 1)
      << rig.DriverMessages();
  EXPECT_LE(ListMatching(rig.PathOf("Log"), "*").size(), 1u);
  ASSERT_TRUE(rig.KillDriver());
  ASSERT_TRUE(rig.RestartDriver()) << rig.DriverMessages();
  Pause(1500);
  EXPECT_TRUE(PathExists(rig.PathOf("ONLINE.TXT")));

  ASSERT_EQ(rmdir(rig.PathOf("ERROR.TXT").c_str()), 0);
  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
  ASSERT_TRUE(response) << rig.DriverMessages();
  EXPECT_EQ(*response, "0 OK\r\nBON NEFISCAL NR. 0001\r\n");
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "COMANDA NR. 12"), 1) << rig.Ecr().Paper();
}

// The journal's save before the close fails (as on a file system turned read-only): the
// close is not sent, the file waits; once the journal can be saved the sale is settled from
// what the ECR says, printed once.
TEST_F(DeliveryFaultsTest, AJournalThatCannotBeSavedBeforeTheCloseHoldsTheSaleUntilItCan) {
  if (!SyscallFaults::Available()) GTEST_SKIP() << "strace is not installed";
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  // Which rename saves the journal before the close: the third of the journal's saves.
  int closing = 0;
  {
    SyscallFaults tracer(rig.PathOf("strace.trace"));
    if (!tracer.Trace(rig.DriverPid(), {"rename"})) GTEST_SKIP() << "strace cannot attach here";
    ASSERT_EQ(rig.Run("ONLINE.TXT", Sale("NUMARARE")).at(0), "0 OK");
    tracer.Detach();
    int renames = 0, journalSaves = 0;
    for (const std::string& call : tracer.Calls()) {
      if (call.find("rename(") == std::string::npos) continue;
      ++renames;
      if (call.find(".ruvodrv-journal\")") != std::string::npos && ++journalSaves == 3) {
        closing = renames;
      }
    }
    ASSERT_GT(closing, 0) << ReadBytes(rig.PathOf("strace.trace"));
  }
  std::remove(rig.PathOf("ERROR.TXT").c_str());
  SyscallFaults faults(rig.PathOf("strace.trace"));
  ASSERT_TRUE(faults.Inject(rig.DriverPid(), "rename",
                            "error=EROFS:when=" + std::to_string(closing) + "+"));
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText(Sale("ARTICOL-JURNAL"))));
  ASSERT_TRUE(WaitUntil(
      [&] { return rig.DriverMessages().find("cannot save the journal") != std::string::npos; },
      DriverRig::kAnswerMs))
      << rig.DriverMessages();
  Pause(2500);
  EXPECT_TRUE(FiscalReceiptsWith(rig.Ecr().Paper(), "ARTICOL-JURNAL").empty()) << rig.Ecr().Paper();
  EXPECT_TRUE(PathExists(rig.PathOf("ONLINE.TXT")));
  EXPECT_FALSE(PathExists(rig.PathOf("ERROR.TXT")));
  EXPECT_EQ(CountOf(rig.DriverMessages(), "cannot save the journal"), 1) << rig.DriverMessages();

  faults.Detach();
  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
  ASSERT_TRUE(response) << rig.DriverMessages();
  EXPECT_EQ(*response, "0 OK\r\nBON FISCAL NR. 0002\r\n");
  const std::vector<std::string> receipts = FiscalReceiptsWith(rig.Ecr().Paper(), "ARTICOL-JURNAL");
  ASSERT_EQ(receipts.size(), 1u) << rig.Ecr().Paper();
  EXPECT_NE(receipts[0].find("BON FISCAL NR. 0002"), std::string::npos) << receipts[0];
}

// Sets or clears the immutable attribute; false where the file system or user cannot.
bool SetImmutable(const std::string& path, bool on) {
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  close(fd);
  return done;
}

// A sale that could not be removed is remembered, not run again; once it is removed by
// hand, the next customer's file with the same goods is a new sale.
TEST_F(DeliveryFaultsTest, AnUndeletableSaleIsForgottenOnceItIsGone) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  ASSERT_TRUE(rig.Ecr().Control("delay 100"));
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText(Sale("ARTICOL-TEAPA"))));
  ASSERT_TRUE(
      WaitUntil([&] { return rig.Ecr().Paper().find("ARTICOL-TEAPA") != std::string::npos; },
                DriverRig::kAnswerMs));
  if (!SetImmutable(rig.PathOf("ONLINE.TXT"), true)) {
    GTEST_SKIP() << "the file system or the user cannot make files immutable";
  }
  ASSERT_TRUE(WaitUntil([&] { return PathExists(rig.PathOf("ERROR.TXT")); }, DriverRig::kAnswerMs));
  Pause(4500);  // the removal's retries, then ticks that must not run it again
  const bool stayed = PathExists(rig.PathOf("ONLINE.TXT"));
  ASSERT_TRUE(SetImmutable(rig.PathOf("ONLINE.TXT"), false));
  EXPECT_TRUE(stayed);
  EXPECT_EQ(FiscalReceiptsWith(rig.Ecr().Paper(), "ARTICOL-TEAPA").size(), 1u) << rig.Ecr().Paper();
  EXPECT_EQ(ReadBytes(rig.PathOf("ERROR.TXT")), "0 OK\r\nBON FISCAL NR. 0001\r\n");

  ASSERT_EQ(std::remove(rig.PathOf("ONLINE.TXT").c_str()), 0);
  Pause(1500);
  EXPECT_EQ(rig.Run("ONLINE.TXT", Sale("ARTICOL-TEAPA")),
            (std::vector<std::string>{"0 OK", "BON FISCAL NR. 0002"}));
  EXPECT_EQ(FiscalReceiptsWith(rig.Ecr().Paper(), "ARTICOL-TEAPA").size(), 2u) << rig.Ecr().Paper();
}

// The driver's folder on a small file system of its own, turned read-only during a sale
// (the simulators and the driver's output stay outside it).
class ReadOnlyFileSystemTest : public DriverTest {
 protected:
  void SetUp() override {
    rig.UseDriverSubfolder("lucru");
    if (geteuid() != 0) GTEST_SKIP() << "mounting a file system needs root";
    if (mount("tmpfs", rig.Folder().c_str(), "tmpfs", 0, "size=1m") != 0) {
      GTEST_SKIP() << "tmpfs cannot be mounted here";
    }
    mounted_ = true;
  }
  void TearDown() override {
    if (!mounted_) return;
    SetReadOnly(false);
    DriverTest::TearDown();
    umount2(rig.Folder().c_str(), MNT_DETACH);
  }
  bool SetReadOnly(bool on) {
    unsigned long flags = MS_REMOUNT;
    if (on) flags |= MS_RDONLY;
    return mount("tmpfs", rig.Folder().c_str(), "tmpfs", flags, "size=1m") == 0;
  }

  bool mounted_ = false;
};

TEST_F(ReadOnlyFileSystemTest, ASaleCutOffByAReadOnlyFolderIsFinishedOnceAndAnsweredWhenWritable) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  ASSERT_TRUE(rig.Ecr().Control("delay 150"));
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText(Sale("ARTICOL-RO"))));
  ASSERT_TRUE(WaitUntil([&] { return rig.Ecr().Paper().find("ARTICOL-RO") != std::string::npos; },
                        DriverRig::kAnswerMs));
  ASSERT_TRUE(SetReadOnly(true)) << std::strerror(errno);
  Pause(3000);
  EXPECT_TRUE(FiscalReceiptsWith(rig.Ecr().Paper(), "ARTICOL-RO").empty()) << rig.Ecr().Paper();
  EXPECT_TRUE(PathExists(rig.PathOf("ONLINE.TXT")));
  EXPECT_FALSE(PathExists(rig.PathOf("ERROR.TXT")));
  EXPECT_NE(rig.DriverMessages().find("cannot save the journal"), std::string::npos)
      << rig.DriverMessages();

  ASSERT_TRUE(SetReadOnly(false)) << std::strerror(errno);
  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
  ASSERT_TRUE(response) << rig.DriverMessages();
  EXPECT_EQ(*response, "0 OK\r\nBON FISCAL NR. 0001\r\n");
  EXPECT_EQ(FiscalReceiptsWith(rig.Ecr().Paper(), "ARTICOL-RO").size(), 1u) << rig.Ecr().Paper();
}

}  // namespace
}  // namespace ruvo::e2e
