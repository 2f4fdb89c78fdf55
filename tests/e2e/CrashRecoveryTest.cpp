// The driver killed (SIGKILL) in the middle of a sale and started again, as after a crash
// or a power cut at the till: the sale is on the paper exactly once and its answer is true.
// The simulator holds back the answer to a chosen command, so the kill lands exactly
// there; the random loop kills wherever it happens to be.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "DriverRig.h"
#include "E2eFiles.h"

namespace ruvo::e2e {
namespace {

const std::vector<std::string> kTwoArticles = {"1;PAINE ALBA;BUC;1;1;250;100000",
                                               "1;LAPTE UHT;L;1;2;675;100000", "5;925;1"};

// The pieces of paper between two cuts that are fiscal receipts (not cancelled ones).
std::vector<std::string> FiscalReceipts(const std::string& paper) {
  std::vector<std::string> receipts;
  std::size_t start = 0;
  while (start < paper.size()) {
    std::size_t end = paper.find(kCutLine, start);
    if (end == std::string::npos) end = paper.size();
    const std::string piece = paper.substr(start, end - start);
    if (piece.find("BON FISCAL NR. ") != std::string::npos) receipts.push_back(piece);
    start = end + kCutLine.size();
  }
  return receipts;
}

// The fiscal receipts that hold article.
std::vector<std::string> ReceiptsWith(const std::string& paper, const std::string& article) {
  std::vector<std::string> found;
  for (const std::string& receipt : FiscalReceipts(paper)) {
    if (receipt.find(article) != std::string::npos) found.push_back(receipt);
  }
  return found;
}

// A driver whose file waits (the folder takes no answer, the ECR cannot settle an
// interrupted sale) tries again at its ticks: over a wait of this length it may use a
// fifth of the time at most, not all of it.
constexpr int kWaitingMs = 2500;
constexpr long kWaitingCpuMs = kWaitingMs / 5;

// Waits kWaitingMs; the processor time the driver used meanwhile.
long CpuMsWhileWaiting(const DriverRig& rig) {
  const long before = rig.DriverCpuMs();
  std::this_thread::sleep_for(std::chrono::milliseconds(kWaitingMs));
  return rig.DriverCpuMs() - before;
}

// Waits until the simulator says it has lost the answer it was told to lose.
bool AwaitLostAnswer(SimulatedEcr& ecr) {
  return WaitUntil([&] { return ecr.Messages().find("xruvo_sim: lost ") != std::string::npos; },
                   DriverRig::kAnswerMs);
}

class CrashRecoveryTest : public DriverTest {
 protected:
  // Kills the driver once the simulator has lost the answer of rule, starts it again,
  // and checks that the sale is answered once with the number of its one receipt.
  void KillWhereAndRecover(const std::string& rule) {
    ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
    ASSERT_TRUE(rig.Ecr().Control(rule));
    ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText(kTwoArticles)));
    ASSERT_TRUE(AwaitLostAnswer(rig.Ecr())) << rig.Ecr().Messages() << rig.DriverMessages();
    ASSERT_TRUE(rig.KillDriver());
    ASSERT_TRUE(rig.RestartDriver()) << rig.DriverMessages();

    const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
    ASSERT_TRUE(response) << rig.DriverMessages();
    const std::vector<std::string> lines = ResponseLines(*response);
    ASSERT_GE(lines.size(), 2u) << *response;
    EXPECT_EQ(lines[0], "0 OK") << *response;
    ASSERT_EQ(lines[1].rfind("BON FISCAL NR. ", 0), 0u) << *response;

    const std::string paper = rig.Ecr().Paper();
    const std::vector<std::string> receipts = ReceiptsWith(paper, "LAPTE UHT");
    ASSERT_EQ(receipts.size(), 1u) << paper;
    EXPECT_NE(receipts[0].find(lines[1]), std::string::npos) << paper << *response;
    EXPECT_EQ(CountOf(receipts[0], "PAINE ALBA"), 1) << paper;
    EXPECT_EQ(FiscalReceipts(paper).size(), 1u) << paper;
  }

  // Kills the driver waiting for the close of a paid receipt, does atEcr at the ECR (its
  // keyboard, its power switch) and starts the driver again: the sale's answer must be
  // answer, and the previous customer's receipt the only fiscal one.
  void ChangedAtTheEcrBeforeTheRestart(const std::string& atEcr, const std::string& answer) {
    ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
    ASSERT_EQ(rig.Run("ONLINE.TXT", kTwoArticles),
              (std::vector<std::string>{"0 OK", "BON FISCAL NR. 0001"}));
    ASSERT_TRUE(rig.Ecr().Control("lose 3011 before"));
    ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText(kTwoArticles)));
    ASSERT_TRUE(AwaitLostAnswer(rig.Ecr())) << rig.Ecr().Messages() << rig.DriverMessages();
    ASSERT_TRUE(rig.KillDriver());
    ASSERT_TRUE(rig.Ecr().Control(atEcr));
    ASSERT_TRUE(rig.RestartDriver()) << rig.DriverMessages();

    const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
    ASSERT_TRUE(response) << rig.DriverMessages();
    EXPECT_EQ(*response, answer);
    EXPECT_EQ(FiscalReceipts(rig.Ecr().Paper()).size(), 1u) << rig.Ecr().Paper();
  }
};

// Between the kill and the restart the receipt left paid and open is cancelled at the
// ECR's keyboard, or the ECR is switched off and on and comes back without it: neither is
// a printed sale, whatever number the ECR shows last.
TEST_F(CrashRecoveryTest, AReceiptCancelledAtTheKeyboardIsAnsweredAsCancelled) {
  ChangedAtTheEcrBeforeTheRestart("cancel-receipt",
                                  "1 ERROR\r\n8096;Bonul fiscal a fost anulat la casa de marcat\r\n"
                                  "#1;BONUL FISCAL A FOST ANULAT. RETRANSMITETI BONUL FISCAL.\r\n");
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "BON ANULAT NR. 0002"), 1) << rig.Ecr().Paper();
}
TEST_F(CrashRecoveryTest, AReceiptLostWhenTheEcrWasSwitchedOffIsAnsweredAsLost) {
  ChangedAtTheEcrBeforeTheRestart(
      "power-cycle",
      "1 ERROR\r\n8095;Bonul fiscal nu a fost emis, casa de marcat nu il mai are. "
      "Retransmiteti bonul fiscal\r\n");
}

TEST_F(CrashRecoveryTest, KilledBetweenTheSaleLines) {
  KillWhereAndRecover("lose 33021 after skip 1");
}
TEST_F(CrashRecoveryTest, KilledAfterThePayment) { KillWhereAndRecover("lose 3007 after"); }
TEST_F(CrashRecoveryTest, KilledJustBeforeTheClose) { KillWhereAndRecover("lose 3011 before"); }
TEST_F(CrashRecoveryTest, KilledJustAfterTheClose) { KillWhereAndRecover("lose 3011 after"); }
// The first "1112" and the "1004" note the ECR's state before the lines.
TEST_F(CrashRecoveryTest, KilledWhileNotingTheEcrsState) { KillWhereAndRecover("lose 1004 after"); }
TEST_F(CrashRecoveryTest, KilledWhileReadingTheNumber) {
  KillWhereAndRecover("lose 1112 after skip 1");
}
TEST_F(CrashRecoveryTest, KilledJustBeforeTheCut) { KillWhereAndRecover("lose 3015 before"); }
TEST_F(CrashRecoveryTest, KilledJustAfterTheCut) { KillWhereAndRecover("lose 3015 after"); }

// The kill lands as soon as the answer is there: before the receipt file is deleted, or
// just after, or before the record is gone; whichever, the answer stays the same.
TEST_F(CrashRecoveryTest, KilledOnceTheAnswerIsWritten) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText(kTwoArticles)));
  ASSERT_TRUE(WaitUntil([&] { return PathExists(rig.PathOf("ERROR.TXT")); }, DriverRig::kAnswerMs));
  ASSERT_TRUE(rig.KillDriver());
  ASSERT_TRUE(rig.RestartDriver()) << rig.DriverMessages();
  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
  ASSERT_TRUE(response) << rig.DriverMessages();
  EXPECT_EQ(*response, "0 OK\r\nBON FISCAL NR. 0001\r\n");
  EXPECT_EQ(FiscalReceipts(rig.Ecr().Paper()).size(), 1u) << rig.Ecr().Paper();
  // Nothing is left for a later start to answer again.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_FALSE(PathExists(rig.PathOf(".ruvodrv-journal")));
}

TEST_F(CrashRecoveryTest, ALostCloseAnswerOfAClosedReceiptIsAnsweredWithItsNumber) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  ASSERT_TRUE(rig.Ecr().Control("lose 3011 garble"));
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText(kTwoArticles)));
  // The close has 30 seconds for its answer; noise is not one.
  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT", 45000);
  ASSERT_TRUE(response) << rig.DriverMessages();
  EXPECT_EQ(*response, "0 OK\r\nBON FISCAL NR. 0001\r\n");
  EXPECT_EQ(FiscalReceipts(rig.Ecr().Paper()).size(), 1u) << rig.Ecr().Paper();
  // The receipt was finished by this file: the next one has nothing to finish.
  EXPECT_EQ(rig.Run("ONLINE.TXT", kTwoArticles),
            (std::vector<std::string>{"0 OK", "BON FISCAL NR. 0002"}));
}

TEST_F(CrashRecoveryTest, ATouchDuringTheRunLeavesOneReceipt) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  ASSERT_TRUE(rig.Ecr().Control("delay 150"));
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText(kTwoArticles)));
  ASSERT_TRUE(WaitUntil([&] { return rig.Ecr().Paper().find("PAINE ALBA") != std::string::npos; },
                        DriverRig::kAnswerMs));
  // What `touch` does: a new time stamp, the same bytes.
  ASSERT_EQ(utimensat(AT_FDCWD, rig.PathOf("ONLINE.TXT").c_str(), nullptr, 0), 0);
  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
  ASSERT_TRUE(response) << rig.DriverMessages();
  EXPECT_EQ(*response, "0 OK\r\nBON FISCAL NR. 0001\r\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(FiscalReceipts(rig.Ecr().Paper()).size(), 1u) << rig.Ecr().Paper();
}

// The ECR answers its status but not the state of the receipt: the sale killed after its
// payment cannot be settled, and waits; once the ECR tells, it is finished, not printed again.
TEST_F(CrashRecoveryTest, AnInterruptedSaleTheEcrCannotSettleWaitsQuietlyUntilItCan) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  ASSERT_TRUE(rig.Ecr().Control("lose 3007 after"));
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText(kTwoArticles)));
  ASSERT_TRUE(AwaitLostAnswer(rig.Ecr())) << rig.Ecr().Messages() << rig.DriverMessages();
  ASSERT_TRUE(rig.KillDriver());
  ASSERT_TRUE(rig.Ecr().Control("err 1111 4 always"));
  ASSERT_TRUE(rig.Ecr().Control("err 1112 4 always"));
  ASSERT_TRUE(rig.RestartDriver()) << rig.DriverMessages();

  EXPECT_LT(CpuMsWhileWaiting(rig), kWaitingCpuMs);
  EXPECT_TRUE(PathExists(rig.PathOf("ONLINE.TXT")));
  EXPECT_FALSE(PathExists(rig.PathOf("ERROR.TXT")));

  ASSERT_TRUE(rig.Ecr().Control("err off"));
  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
  ASSERT_TRUE(response) << rig.DriverMessages();
  EXPECT_EQ(*response, "0 OK\r\nBON FISCAL NR. 0001\r\n");
  EXPECT_EQ(FiscalReceipts(rig.Ecr().Paper()).size(), 1u) << rig.Ecr().Paper();
}

TEST_F(CrashRecoveryTest, AReadOnlyFolderPrintsNothingAndIsAnsweredOnceWritable) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText(kTwoArticles)));
  ASSERT_EQ(chmod(rig.Folder().c_str(), 0555), 0);
  // Root writes into a read-only folder all the same.
  if (access(rig.Folder().c_str(), W_OK) == 0) {
    chmod(rig.Folder().c_str(), 0755);
    GTEST_SKIP() << "the folder's permissions do not bind this user";
  }
  const long cpuMs = CpuMsWhileWaiting(rig);
  const std::string paperWhileReadOnly = rig.Ecr().Paper();
  const bool waiting = PathExists(rig.PathOf("ONLINE.TXT"));
  const bool answered = PathExists(rig.PathOf("ERROR.TXT"));
  ASSERT_EQ(chmod(rig.Folder().c_str(), 0755), 0);
  EXPECT_EQ(CountOf(paperWhileReadOnly, "LAPTE UHT"), 0) << paperWhileReadOnly;
  EXPECT_TRUE(waiting);
  EXPECT_FALSE(answered);
  EXPECT_NE(rig.DriverMessages().find("no response file can be written"), std::string::npos)
      << rig.DriverMessages();
  EXPECT_LT(cpuMs, kWaitingCpuMs);

  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
  ASSERT_TRUE(response) << rig.DriverMessages();
  EXPECT_EQ(*response, "0 OK\r\nBON FISCAL NR. 0001\r\n");
  EXPECT_EQ(FiscalReceipts(rig.Ecr().Paper()).size(), 1u) << rig.Ecr().Paper();
}

// The working folder on a small file system of its own, filled up to the last page.
class FullDiskTest : public DriverTest {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    if (mount("tmpfs", rig.Folder().c_str(), "tmpfs", 0, "size=512k") != 0) {
      GTEST_SKIP() << "tmpfs cannot be mounted here";
    }
    mounted_ = true;
  }
  void TearDown() override {
    if (!mounted_) return;
    DriverTest::TearDown();
    umount2(rig.Folder().c_str(), MNT_DETACH);
  }

  // Fills the file system, leaving one page for the receipt file.
  bool Fill() {
    WriteBytes(rig.PathOf("pad"), std::string(4096, 'p'));
    const int fd = open(rig.PathOf("filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    const std::string block(4096, 'f');
    while (write(fd, block.data(), block.size()) > 0) {
    }
    close(fd);
    return std::remove(rig.PathOf("pad").c_str()) == 0;
  }

  bool mounted_ = false;
};

TEST_F(FullDiskTest, AFullDiskPrintsNothingAndTheFileIsAnsweredOnceThereIsRoom) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  ASSERT_TRUE(Fill());
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText(kTwoArticles)));
  EXPECT_LT(CpuMsWhileWaiting(rig), kWaitingCpuMs);
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "LAPTE UHT"), 0) << rig.Ecr().Paper();
  EXPECT_TRUE(PathExists(rig.PathOf("ONLINE.TXT")));
  EXPECT_FALSE(PathExists(rig.PathOf("ERROR.TXT")));

  ASSERT_EQ(std::remove(rig.PathOf("filler").c_str()), 0);
  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
  ASSERT_TRUE(response) << rig.DriverMessages();
  EXPECT_EQ(*response, "0 OK\r\nBON FISCAL NR. 0001\r\n");
  EXPECT_EQ(FiscalReceipts(rig.Ecr().Paper()).size(), 1u) << rig.Ecr().Paper();
}

// How many kills the loop makes: RUVO_KILL_LOOP, 10 when unset (about 15 seconds); the long
// loop, RUVO_KILL_LOOP=50, is for a change to the journal or the recovery.
int KillLoopCount() {
  const char* text = std::getenv("RUVO_KILL_LOOP");
  const int n = text != nullptr ? std::atoi(text) : 0;
  return n > 0 ? n : 10;
}

// The seed of the kill times: RUVO_KILL_SEED repeats a run whose seed the log shows.
unsigned KillLoopSeed() {
  const char* text = std::getenv("RUVO_KILL_SEED");
  if (text != nullptr && *text != '\0') {
    return static_cast<unsigned>(std::strtoul(text, nullptr, 10));
  }
  return static_cast<unsigned>(std::random_device{}());
}

RigOptions CleaningTheFolder() {
  RigOptions options;
  options.settings = {"CuratareFolderLucru=DA"};
  return options;
}

// The clean-up at the start of processing deletes only what waits: the sale a kill
// interrupted after its close is answered with its number, not deleted unanswered (the
// sales application would send it again and it would print twice).
class CleanupAfterCrashTest : public DriverTest {
 protected:
  CleanupAfterCrashTest() : DriverTest(CleaningTheFolder()) {}
};

TEST_F(CleanupAfterCrashTest, AnInterruptedSaleIsAnsweredNotDeleted) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  ASSERT_TRUE(rig.Ecr().Control("lose 3011 after"));
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText(kTwoArticles)));
  ASSERT_TRUE(AwaitLostAnswer(rig.Ecr())) << rig.Ecr().Messages() << rig.DriverMessages();
  ASSERT_TRUE(rig.KillDriver());
  ASSERT_TRUE(rig.RestartDriver()) << rig.DriverMessages();
  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
  ASSERT_TRUE(response) << rig.DriverMessages();
  EXPECT_EQ(*response, "0 OK\r\nBON FISCAL NR. 0001\r\n");
  EXPECT_EQ(FiscalReceipts(rig.Ecr().Paper()).size(), 1u) << rig.Ecr().Paper();
}

TEST_F(CrashRecoveryTest, RandomKillsDuringSalesLeaveEverySaleOnThePaperOnceWithItsOwnNumber) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  // Slower answers spread the kills over the whole of a sale.
  ASSERT_TRUE(rig.Ecr().Control("delay 15"));
  const int kills = KillLoopCount();
  const unsigned seed = KillLoopSeed();
  std::cout << "kill loop: " << kills << " kills (RUVO_KILL_LOOP), seed " << seed
            << " (RUVO_KILL_SEED)\n";
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> killAfterMs(0, 700);
  std::vector<std::string> numbers;
  for (int k = 0; k < kills; ++k) {
    char article[32];
    std::snprintf(article, sizeof article, "ARTICOL-%03d", k);
    std::remove(rig.PathOf("ERROR.TXT").c_str());
    ASSERT_TRUE(
        rig.Drop("ONLINE.TXT", ReceiptText({"1;" + std::string(article) + ";BUC;1;1;250;100000",
                                            "1;LAPTE UHT;L;1;2;675;100000", "5;925;1"})));
    const int delayMs = killAfterMs(random);
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    ASSERT_TRUE(rig.KillDriver());
    ASSERT_TRUE(rig.RestartDriver()) << "kill " << k << "\n" << rig.DriverMessages();
    const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
    ASSERT_TRUE(response) << "kill " << k << " after " << delayMs << " ms\n"
                          << rig.DriverMessages();
    const std::vector<std::string> lines = ResponseLines(*response);
    ASSERT_GE(lines.size(), 2u) << *response;
    ASSERT_EQ(lines[0], "0 OK") << "kill " << k << " after " << delayMs << " ms\n" << *response;

    const std::vector<std::string> receipts = ReceiptsWith(rig.Ecr().Paper(), article);
    ASSERT_EQ(receipts.size(), 1u) << "kill " << k << " after " << delayMs << " ms\n"
                                   << rig.Ecr().Paper();
    ASSERT_NE(receipts[0].find(lines[1]), std::string::npos)
        << "kill " << k << " after " << delayMs << " ms: " << lines[1] << "\n"
        << receipts[0];
    numbers.push_back(lines[1]);
  }
  EXPECT_EQ(FiscalReceipts(rig.Ecr().Paper()).size(), static_cast<std::size_t>(kills));
  std::sort(numbers.begin(), numbers.end());
  EXPECT_EQ(std::unique(numbers.begin(), numbers.end()), numbers.end());
}

}  // namespace
}  // namespace ruvo::e2e
