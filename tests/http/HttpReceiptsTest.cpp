// The receipts of HTTP keys on disk: a key's record before its receipt file, the answer
// taken into the record, a restart or a crash at each step, old keys forgotten. The
// receipt file cycle is played by the test: it answers a channel's file as the driver
// does (response first, then the receipt file goes).
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "http/HttpReceipts.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/TempFolder.h"

namespace ruvo::http {
namespace {

// Virtual time with a wall clock the test sets (seconds since the epoch).
class WallClock final : public IClock {
 public:
  LocalDateTime Now() const override { return virtual_.Now(); }
  std::int64_t MonotonicMs() const override { return virtual_.MonotonicMs(); }
  void SleepMs(std::int64_t ms) override { Pass(ms); }
  std::int64_t FileTimeNowNs() const override { return wallS_ * 1'000'000'000; }
  void Pass(std::int64_t ms) {
    virtual_.Advance(ms);
    wallS_ += ms / 1000;
  }
  // The wall clock set forward, as a time server or an operator does; no time passes.
  void Step(std::int64_t s) { wallS_ += s; }

 private:
  VirtualClock virtual_;
  std::int64_t wallS_ = 1'765'000'000;
};

ReceiptBody Body(std::vector<std::string> lines) { return ReceiptBody{std::move(lines)}; }

const ReceiptBody kSale = Body({"1;PAINE;BUC;1;1;250;100000", "5;250;1"});

class HttpReceiptsTest : public ::testing::Test {
 protected:
  HttpReceiptsTest() { Reopen(); }

  void Reopen() {
    receipts = std::make_unique<HttpReceipts>(folder.Path(), clock, 7);
    std::string problem;
    ASSERT_TRUE(receipts->Open(problem)) << problem;
  }
  std::string ReceiptFile(const std::string& key) const {
    return folder / ("ONLINE" + ChannelOf(key) + ".TXT");
  }
  std::string AnswerFile(const std::string& key) const {
    return folder / ("ERROR" + ChannelOf(key) + ".TXT");
  }
  // What the cycle does with a file it ran.
  void CycleAnswers(const std::string& key, const std::string& answer) {
    ASSERT_TRUE(WriteFileAtomic(AnswerFile(key), answer));
    ASSERT_TRUE(DeleteFile(ReceiptFile(key)));
  }

  ruvo::testing::TempFolder folder;
  WallClock clock;
  std::unique_ptr<HttpReceipts> receipts;
};

TEST_F(HttpReceiptsTest, AKeyRunsOnceAndKeepsItsFirstAnswerAcrossRestarts) {
  ASSERT_EQ(receipts->Submit("k1", kSale), HttpReceipts::Submitted::Accepted);
  EXPECT_EQ(ReadFileBytes(ReceiptFile("k1")), kSale.FileBytes());
  EXPECT_EQ(receipts->StateOf(*receipts->Find("k1")), ReceiptState::Queued);
  EXPECT_EQ(receipts->WaitingCount(), 1u);

  // Repeated while it waits: no second file, the same record.
  ASSERT_TRUE(DeleteFile(ReceiptFile("k1")) && WriteFileAtomic(ReceiptFile("k1"), "taken"));
  EXPECT_EQ(receipts->Submit("k1", kSale), HttpReceipts::Submitted::Repeated);
  EXPECT_EQ(ReadFileBytes(ReceiptFile("k1")), "taken");
  EXPECT_EQ(receipts->Submit("k1", Body({"1;LAPTE;BUC;1;1;250;100000", "5;250;1"})),
            HttpReceipts::Submitted::Conflict);

  // Running while the cycle's current file is of its channel.
  receipts->SetRunningChannel([] { return ChannelOf("k1"); });
  EXPECT_EQ(receipts->StateOf(*receipts->Find("k1")), ReceiptState::Running);

  // The answer is final only once the receipt file is gone.
  ASSERT_TRUE(WriteFileAtomic(AnswerFile("k1"), "0 OK\r\n"));
  receipts->Advance();
  EXPECT_FALSE(receipts->Find("k1")->Answered());
  CycleAnswers("k1", "0 OK\r\nBON FISCAL NR. 0001\r\n");
  receipts->Advance();
  ASSERT_TRUE(receipts->Find("k1")->Answered());
  EXPECT_EQ(HttpReceipts::AnswerOf(*receipts->Find("k1")).fiscalNumber, "0001");
  EXPECT_FALSE(FileExists(AnswerFile("k1")));
  EXPECT_EQ(receipts->WaitingCount(), 0u);

  Reopen();
  ASSERT_NE(receipts->Find("k1"), nullptr);
  EXPECT_EQ(HttpReceipts::AnswerOf(*receipts->Find("k1")).fiscalNumber, "0001");
  EXPECT_EQ(receipts->Submit("k1", kSale), HttpReceipts::Submitted::Repeated);
  EXPECT_FALSE(FileExists(ReceiptFile("k1")));
}

TEST_F(HttpReceiptsTest, ACrashBetweenRecordAndFileDropsTheFileAgainAndNothingElse) {
  ASSERT_EQ(receipts->Submit("k2", kSale), HttpReceipts::Submitted::Accepted);
  ASSERT_TRUE(DeleteFile(ReceiptFile("k2")));  // the rename never happened
  Reopen();
  receipts->Advance();
  EXPECT_EQ(ReadFileBytes(ReceiptFile("k2")), kSale.FileBytes());

  // Killed after the cycle answered, before the record took the answer: taken at restart.
  CycleAnswers("k2", "1 ERROR\r\n8006;Comanda necunoscuta : X\r\n");
  Reopen();
  receipts->Advance();
  ASSERT_TRUE(receipts->Find("k2")->Answered());
  EXPECT_EQ(HttpReceipts::AnswerOf(*receipts->Find("k2")).lines,
            (std::vector<std::string>{"1 ERROR", "8006;Comanda necunoscuta : X"}));
  receipts->Advance();
  EXPECT_FALSE(FileExists(ReceiptFile("k2")));
}

// The cycle hands the answer over before the receipt file goes: the record holds it, as the
// cycle made it, from then on; one that cannot be saved keeps the file (and its answer)
// with the cycle.
TEST_F(HttpReceiptsTest, TheCyclesAnswerIsKeptBeforeItsFileGoes) {
  ASSERT_EQ(receipts->Submit("kept", kSale), HttpReceipts::Submitted::Accepted);
  ASSERT_EQ(receipts->Submit("stuck", kSale), HttpReceipts::Submitted::Accepted);
  ReceiptAnswer refused;
  refused.outcome = AnswerOutcome::Refused;
  refused.code = 8046;
  refused.message = "Cod operator nenumeric";
  refused.lines = {"1 ERROR", "8046;Cod operator nenumeric"};
  std::string failedPath;
  // Not one of its channels: nothing to keep.
  EXPECT_TRUE(receipts->Keep("_POS1", refused, failedPath));
  EXPECT_TRUE(failedPath.empty());

  ASSERT_TRUE(WriteFileAtomic(AnswerFile("kept"), "1 ERROR\r\n8046;Cod operator nenumeric\r\n"));
  ASSERT_TRUE(receipts->Keep(ChannelOf("kept"), refused, failedPath));
  EXPECT_EQ(HttpReceipts::AnswerOf(*receipts->Find("kept")), refused);
  // While the receipt file is there its response file stays; then it goes.
  receipts->Advance();
  EXPECT_TRUE(FileExists(AnswerFile("kept")));
  ASSERT_TRUE(DeleteFile(ReceiptFile("kept")));
  receipts->Advance();
  EXPECT_FALSE(FileExists(AnswerFile("kept")));

  const std::string record = folder / (".ruvohttp/" + KeyId("stuck") + ".key");
  ASSERT_TRUE(DeleteFile(record) && CreateFolders(record + "/x"));
  EXPECT_FALSE(receipts->Keep(ChannelOf("stuck"), refused, failedPath));
  EXPECT_EQ(failedPath, record);
  EXPECT_FALSE(receipts->Find("stuck")->Answered());
  std::filesystem::remove_all(record);

  Reopen();
  EXPECT_EQ(HttpReceipts::AnswerOf(*receipts->Find("kept")), refused);
  // Offered again after a crash that kept the file in place: kept once, as it was.
  ReceiptAnswer other = refused;
  other.code = 1;
  EXPECT_TRUE(receipts->Keep(ChannelOf("kept"), other, failedPath));
  EXPECT_EQ(HttpReceipts::AnswerOf(*receipts->Find("kept")), refused);
}

TEST_F(HttpReceiptsTest, AnAnswerWhoseRecordCannotBeSavedKeepsItsResponseFile) {
  ASSERT_EQ(receipts->Submit("k3", kSale), HttpReceipts::Submitted::Accepted);
  CycleAnswers("k3", "0 OK\r\n");
  // The record's place taken by a folder: the record cannot be rewritten.
  const std::string record = folder / (".ruvohttp/" + KeyId("k3") + ".key");
  ASSERT_TRUE(DeleteFile(record) && CreateFolders(record + "/x"));
  receipts->Advance();
  EXPECT_TRUE(receipts->Find("k3")->Answered());
  EXPECT_TRUE(FileExists(AnswerFile("k3")));
  std::filesystem::remove_all(record);
  receipts->Advance();
  EXPECT_FALSE(FileExists(AnswerFile("k3")));
  Reopen();
  EXPECT_TRUE(receipts->Find("k3")->Answered());
}

TEST_F(HttpReceiptsTest, AnsweredKeysAreForgottenAfterTheirDaysWaitingOnesNever) {
  ASSERT_EQ(receipts->Submit("old", kSale), HttpReceipts::Submitted::Accepted);
  ASSERT_EQ(receipts->Submit("waiting", kSale), HttpReceipts::Submitted::Accepted);
  CycleAnswers("old", "0 OK\r\n");
  receipts->Advance();
  clock.Pass(6LL * 86'400'000);
  receipts->Advance();
  EXPECT_NE(receipts->Find("old"), nullptr);
  clock.Pass(2LL * 86'400'000);
  receipts->Advance();
  EXPECT_EQ(receipts->Find("old"), nullptr);
  EXPECT_NE(receipts->Find("waiting"), nullptr);
  Reopen();
  EXPECT_EQ(receipts->Find("old"), nullptr);
  // A forgotten key is a new key.
  EXPECT_EQ(receipts->Submit("old", Body({"2;X"})), HttpReceipts::Submitted::Accepted);
}

// A clock set forward by more than the keys' days forgets nothing: the days are also
// counted in the driver's running time, across restarts.
TEST_F(HttpReceiptsTest, AClockStepForwardForgetsNoKey) {
  ASSERT_EQ(receipts->Submit("k", kSale), HttpReceipts::Submitted::Accepted);
  CycleAnswers("k", "0 OK\r\nBON FISCAL NR. 0001\r\n");
  receipts->Advance();
  clock.Pass(3LL * 86'400'000);
  receipts->Advance();
  Reopen();
  clock.Step(8LL * 86'400);
  clock.Pass(120'000);
  receipts->Advance();
  Reopen();
  receipts->Advance();
  EXPECT_EQ(receipts->Submit("k", kSale), HttpReceipts::Submitted::Repeated);
  clock.Pass(5LL * 86'400'000);
  receipts->Advance();
  EXPECT_EQ(receipts->Find("k"), nullptr);
}

TEST_F(HttpReceiptsTest, ARecordThatCannotBeSavedSendsNothing) {
  std::filesystem::remove_all(folder / ".ruvohttp");
  ASSERT_TRUE(WriteFileAtomic(folder / ".ruvohttp", "in the way"));
  EXPECT_EQ(receipts->Submit("k4", kSale), HttpReceipts::Submitted::NotSaved);
  EXPECT_FALSE(FileExists(ReceiptFile("k4")));
  EXPECT_EQ(receipts->Find("k4"), nullptr);
  // Nor does the store open over a file.
  HttpReceipts other(folder.Path(), clock, 7);
  std::string problem;
  EXPECT_FALSE(other.Open(problem));
}

// A record cut short, emptied or made a link is damaged: its key is refused (never sent
// again on a guess), the file is never written over, and the damage is said.
TEST_F(HttpReceiptsTest, ADamagedRecordRefusesItsKeyAndIsNeverWrittenOver) {
  ASSERT_EQ(receipts->Submit("cut", kSale), HttpReceipts::Submitted::Accepted);
  ASSERT_EQ(receipts->Submit("empty", kSale), HttpReceipts::Submitted::Accepted);
  ASSERT_EQ(receipts->Submit("linked", kSale), HttpReceipts::Submitted::Accepted);
  for (const char* key : {"cut", "empty", "linked"}) {
    CycleAnswers(key, "0 OK\r\nBON FISCAL NR. 0001\r\n");
  }
  receipts->Advance();
  const std::string records = folder / ".ruvohttp";
  const std::string cut = records + "/" + KeyId("cut") + ".key";
  const std::string bytes = *ReadFileBytes(cut);
  ASSERT_TRUE(WriteFileAtomic(cut, bytes.substr(0, bytes.size() * 95 / 100)));
  ASSERT_TRUE(WriteFileAtomic(records + "/" + KeyId("empty") + ".key", ""));
  const std::string linked = records + "/" + KeyId("linked") + ".key";
  std::filesystem::rename(linked, records + "/elsewhere");
  std::filesystem::create_symlink(records + "/elsewhere", linked);
  Reopen();
  for (const char* key : {"cut", "empty", "linked"}) {
    SCOPED_TRACE(key);
    EXPECT_EQ(receipts->Submit(key, kSale), HttpReceipts::Submitted::Damaged);
    EXPECT_FALSE(FileExists(ReceiptFile(key)));
    EXPECT_NE(receipts->DamagedRecordOf(key).find(KeyId(key)), std::string::npos);
  }
  EXPECT_EQ(*ReadFileBytes(cut), bytes.substr(0, bytes.size() * 95 / 100));
  ASSERT_EQ(receipts->DamageWarnings().size(), 3u);
  EXPECT_NE(receipts->DamageWarnings()[0].find(".ruvohttp/"), std::string::npos);
  // Removed by the operator while the driver runs: free again at the next look, the others
  // (a link included) still refused.
  ASSERT_TRUE(DeleteFile(records + "/" + KeyId("empty") + ".key"));
  receipts->Advance();
  EXPECT_EQ(receipts->DamageWarnings().size(), 2u);
  EXPECT_EQ(receipts->Submit("empty", kSale), HttpReceipts::Submitted::Accepted);
  EXPECT_EQ(receipts->Submit("linked", kSale), HttpReceipts::Submitted::Damaged);
  // Removed by the operator, the key is a new one.
  ASSERT_TRUE(DeleteFile(cut));
  Reopen();
  EXPECT_EQ(receipts->Submit("cut", kSale), HttpReceipts::Submitted::Accepted);
}

}  // namespace
}  // namespace ruvo::http
