// The operation keys' records on disk: what a restart reads back, what a damaged file
// leaves, the receipts' records kept apart, old keys forgotten.
#include "http/HttpOperationKeys.h"

#include <gtest/gtest.h>

#include "http/HttpReceipts.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/TempFolder.h"

namespace ruvo::http {
namespace {

class Wall final : public IClock {
 public:
  LocalDateTime Now() const override { return virtual_.Now(); }
  std::int64_t MonotonicMs() const override { return virtual_.MonotonicMs(); }
  void SleepMs(std::int64_t ms) override { Pass(ms); }
  std::int64_t FileTimeNowNs() const override { return wallS_ * 1'000'000'000; }
  void Pass(std::int64_t ms) {
    virtual_.Advance(ms);
    wallS_ += ms / 1000;
  }

 private:
  VirtualClock virtual_;
  std::int64_t wallS_ = 1'765'000'000;
};

OperationKeyRecord Record(const std::string& key) {
  OperationKeyRecord record;
  record.key = key;
  record.arguments = {"cash-in", "12.50", "SOLD\rINITIAL"};
  record.requestHash = RequestHash(record.arguments);
  record.evidence = std::string(253, '0');
  return record;
}

class HttpOperationKeysTest : public ::testing::Test {
 protected:
  std::string RecordFolder() const { return JoinPath(folder.Path(), HttpReceipts::kFolderName); }

  ruvo::testing::TempFolder folder;
  Wall clock;
};

TEST_F(HttpOperationKeysTest, ARecordReadsBackAfterARestartWithItsAnswer) {
  {
    HttpOperationKeys keys(folder.Path(), clock, 7);
    EXPECT_FALSE(FolderExists(RecordFolder())) << "made only for the first record";
    ASSERT_TRUE(keys.Save(Record("cut-off")));
    OperationKeyRecord answered = Record("answered");
    ControlAnswer answer = Failed({"[Eroare] Eroare la efectuarea operatiei !\r8048;TIME OUT",
                                   std::string("a\nb\0c", 5), ""});
    answer.key = KeyOutcome::Undetermined;
    answer.refused = true;
    answered.answer = answer;
    ASSERT_TRUE(keys.Save(answered));
  }
  HttpOperationKeys keys(folder.Path(), clock, 7);
  const std::optional<OperationKeyRecord> cut = keys.Find("cut-off");
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->arguments, Record("x").arguments);
  EXPECT_EQ(cut->evidence, std::string(253, '0'));
  EXPECT_EQ(cut->requestHash, Record("x").requestHash);
  EXPECT_FALSE(cut->answer);
  const std::optional<OperationKeyRecord> answered = keys.Find("answered");
  ASSERT_TRUE(answered && answered->answer);
  EXPECT_FALSE(answered->answer->ok);
  EXPECT_TRUE(answered->answer->refused);
  EXPECT_EQ(answered->answer->key, KeyOutcome::Undetermined);
  EXPECT_EQ(answered->answer->lines,
            (std::vector<std::string>{"[Eroare] Eroare la efectuarea operatiei !\r8048;TIME OUT",
                                      std::string("a\nb\0c", 5), ""}));
  keys.Forget("answered");
  EXPECT_FALSE(keys.Find("answered"));
  EXPECT_FALSE(HttpOperationKeys(folder.Path(), clock, 7).Find("answered"));
}

TEST_F(HttpOperationKeysTest, ReceiptsAndOperationsKeepTheirKeysApart) {
  HttpOperationKeys keys(folder.Path(), clock, 7);
  ASSERT_TRUE(keys.Save(Record("same")));
  HttpReceipts receipts(folder.Path(), clock, 7);
  std::string problem;
  ASSERT_TRUE(receipts.Open(problem)) << problem;
  EXPECT_EQ(receipts.Find("same"), nullptr) << "an operation's record is no receipt";
  EXPECT_EQ(receipts.Submit("same", ReceiptBody{{"1;A;U;1;1;1;100000", "5;1;1"}}),
            HttpReceipts::Submitted::Accepted);
  EXPECT_TRUE(HttpOperationKeys(folder.Path(), clock, 7).Find("same"));
}

TEST_F(HttpOperationKeysTest, ADamagedRecordIsLeftAloneAndOldAnswersAreForgotten) {
  ASSERT_TRUE(CreateFolders(RecordFolder()));
  const std::string damaged = JoinPath(RecordFolder(), KeyId("bad") + ".op");
  ASSERT_TRUE(WriteFileAtomic(damaged, "RUVOHTTP 1\nkey bad\n"));
  HttpOperationKeys keys(folder.Path(), clock, 2);
  EXPECT_FALSE(keys.Find("bad"));
  EXPECT_TRUE(FileExists(damaged));

  OperationKeyRecord answered = Record("old");
  answered.answer = Succeeded({"gata"});
  ASSERT_TRUE(keys.Save(answered));
  ASSERT_TRUE(keys.Save(Record("unanswered")));
  clock.Pass(2LL * 86'400'000 + 61'000);
  EXPECT_FALSE(keys.Find("old"));
  EXPECT_TRUE(keys.Find("unanswered")) << "a cut-off operation waits for its repeat";
}

}  // namespace
}  // namespace ruvo::http
