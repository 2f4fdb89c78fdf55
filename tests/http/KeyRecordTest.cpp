// The key rules and the record file of a key.
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "http/KeyRecord.h"

namespace ruvo::http {
namespace {

TEST(KeyRecordTest, KeysAreShortUrlSafeWordsWithAFixedLengthId) {
  EXPECT_TRUE(ValidKey("3f1c2a7e-8a9b-4c1d-9e2f-0a1b2c3d4e5f"));
  EXPECT_TRUE(ValidKey("till1:2026-12-09:0042"));
  EXPECT_TRUE(ValidKey(std::string(128, 'k')));
  for (const std::string& bad :
       {std::string(), std::string(129, 'k'), std::string("a b"), std::string("a/b"),
        std::string("a%2Fb"), std::string("ă"), std::string("a\nb"), std::string("a?b")}) {
    EXPECT_FALSE(ValidKey(bad)) << bad;
  }
  EXPECT_EQ(KeyId("a").size(), 32u);
  EXPECT_NE(KeyId("a"), KeyId("b"));
  EXPECT_EQ(ChannelOf("a"), "_H" + KeyId("a"));
}

TEST(KeyRecordTest, ARecordKeepsEveryByteOfReceiptAndAnswer) {
  KeyRecord record;
  record.key = "k-1";
  record.bodyHash = std::string(64, 'a');
  record.createdS = 1765270000;
  // Line ends, a line that looks like a field, the ECR's dash, a NUL.
  record.receipt = std::string("1;A\r\nanswer 3\n\x96\0x\r\n", 18);
  const std::optional<KeyRecord> queued = DecodeRecord(EncodeRecord(record));
  ASSERT_TRUE(queued);
  EXPECT_EQ(queued->receipt, record.receipt);
  EXPECT_FALSE(queued->Answered());

  record.answer = "0 OK\r\nBON FISCAL NR. 0001\r\n";
  record.answeredS = 1765270009;
  const std::optional<KeyRecord> answered = DecodeRecord(EncodeRecord(record));
  ASSERT_TRUE(answered);
  EXPECT_EQ(answered->key, "k-1");
  EXPECT_EQ(answered->bodyHash, record.bodyHash);
  EXPECT_EQ(answered->createdS, record.createdS);
  EXPECT_EQ(answered->answer, record.answer);
  EXPECT_EQ(answered->answeredS, record.answeredS);

  // Empty answer (a response file with no lines) survives too.
  record.answer = "";
  ASSERT_TRUE(DecodeRecord(EncodeRecord(record)));
  EXPECT_EQ(DecodeRecord(EncodeRecord(record))->answer, "");
}

TEST(KeyRecordTest, AnythingButAWholeRecordIsRefused) {
  KeyRecord record;
  record.key = "k";
  record.bodyHash = std::string(64, 'b');
  record.receipt = "1;A\r\n";
  record.answer = "0 OK\r\n";
  const std::string whole = EncodeRecord(record);
  for (std::size_t cut = 0; cut < whole.size(); ++cut) {
    EXPECT_FALSE(DecodeRecord(whole.substr(0, cut))) << cut;
  }
  EXPECT_FALSE(DecodeRecord(whole + "x"));
  std::string badKey = whole;
  badKey.replace(badKey.find("key k"), 5, "key /");
  EXPECT_FALSE(DecodeRecord(badKey));
  std::string longer = whole;
  longer.replace(longer.find("receipt 5"), 9, "receipt 9");
  EXPECT_FALSE(DecodeRecord(longer));
  // Sizes and times beyond any integer, or signed, are no record either.
  const std::string huge(30, '9');
  for (const auto& [field, value] :
       std::vector<std::pair<std::string, std::string>>{{"receipt 5", "receipt " + huge},
                                                        {"answer 6", "answer " + huge},
                                                        {"created 0", "created " + huge},
                                                        {"created 0", "created -1"}}) {
    std::string changed = whole;
    ASSERT_NE(changed.find(field), std::string::npos) << field;
    changed.replace(changed.find(field), field.size(), value);
    EXPECT_FALSE(DecodeRecord(changed)) << value;
  }
  EXPECT_FALSE(DecodeRecord("RUVOHTTP 2\n"));
  // A byte changed anywhere, also inside the receipt or the answer, is told by the check.
  for (std::size_t at = 0; at < whole.size(); ++at) {
    std::string flipped = whole;
    flipped[at] = static_cast<char>(flipped[at] ^ 0x04);
    EXPECT_FALSE(DecodeRecord(flipped)) << at;
  }
}

}  // namespace
}  // namespace ruvo::http
