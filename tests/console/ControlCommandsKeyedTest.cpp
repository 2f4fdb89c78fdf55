// Operation keys on the control commands: an operation sent again under its key never runs
// twice, a key sent with something else is refused, a request refused before it ran keeps
// no key, and an operation a stop of the driver cut off is answered from what the ECR's
// daily totals show.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/Driver.h"
#include "console/ControlCommands.h"
#include "console/ControlCommandsKeyed.h"
#include "support/ConsoleRig.h"
#include "support/FileBytes.h"

namespace ruvo {
namespace {

using Lines = std::vector<std::string>;

class MemoryKeys final : public OperationKeyStore {
 public:
  bool ValidKey(const std::string& key) const override {
    return !key.empty() && key.find(' ') == std::string::npos;
  }
  std::optional<OperationKeyRecord> Find(const std::string& key) override {
    const auto found = records.find(key);
    if (found == records.end()) return std::nullopt;
    return found->second;
  }
  bool Save(const OperationKeyRecord& record) override {
    if (failSaves) return false;
    records[record.key] = record;
    return true;
  }
  void Forget(const std::string& key) override { records.erase(key); }

  std::map<std::string, OperationKeyRecord> records;
  bool failSaves = false;
};

class ControlCommandsKeyedTest : public testing::ConsoleRig {
 protected:
  ControlCommandsKeyedTest() {
    testing::WriteBytes(folder / "XRUVODRV.INI", "[Configurari]\r\nPort=1\r\n");
    driver = std::make_unique<Driver>(DriverContext{clock, pump, op, ports}, folder.Path());
    driver->Start();
    UseOperationKeys(&keys);
    EXPECT_TRUE(Run({"stop"}).ok);
    Sent();
  }
  ~ControlCommandsKeyedTest() override { UseOperationKeys(nullptr); }

  ControlAnswer Run(const Lines& arguments) { return RunControlCommand(*driver, arguments); }
  std::string Totals() {
    std::string block;
    Prepare([&](TXruvoLinux& link) {
      ASSERT_TRUE(link.ReadDailyTotals());
      block = link.DailyTotalsBlock();
    });
    return block;
  }
  // The record of an operation whose run a stop of the driver cut off.
  void CutOff(const std::string& key, const Lines& arguments, const std::string& evidence) {
    keys.records[key] = OperationKeyRecord{key, RequestHash(arguments), arguments, evidence, {}};
  }

  MemoryKeys keys;
  std::unique_ptr<Driver> driver;
};

TEST_F(ControlCommandsKeyedTest, ARepeatGetsTheFirstAnswerAndNothingRunsAgain) {
  const ControlAnswer first = Run({"--key", "k1", "cash-in", "12,50"});
  ASSERT_TRUE(first.ok) << ::testing::PrintToString(first.lines);
  EXPECT_FALSE(first.replayed);
  EXPECT_EQ(Sent(), (Lines{"1004", "7106D000001250"}));

  for (const Lines& again :
       {Lines{"--key", "k1", "cash-in", "12,50"}, Lines{"cash-in", "--key", "k1", "12,50"}}) {
    const ControlAnswer repeated = Run(again);
    EXPECT_TRUE(repeated.ok);
    EXPECT_TRUE(repeated.replayed);
    EXPECT_EQ(repeated.lines, first.lines);
    EXPECT_TRUE(Sent().empty());
  }
  // On the wire the repeat says so in its last line.
  EXPECT_NE(EncodeAnswer(Run({"--key", "k1", "cash-in", "12,50"})).find(kReplayedLine + "k1"),
            std::string::npos);

  for (const Lines& other :
       {Lines{"--key", "k1", "cash-in", "12,51"}, Lines{"--key", "k1", "cash-out", "12,50"},
        Lines{"--key", "k1", "z-report"}}) {
    const ControlAnswer refused = Run(other);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.key, KeyOutcome::Reused);
    EXPECT_TRUE(Sent().empty());
  }
  // Without a key, or with another, it is a new operation.
  EXPECT_TRUE(Run({"--key", "k2", "cash-in", "12,50"}).ok);
  EXPECT_EQ(Sent(), (Lines{"1004", "7106D000001250"}));
}

TEST_F(ControlCommandsKeyedTest, ARequestRefusedBeforeItRanKeepsNoKey) {
  EXPECT_EQ(Run({"--key", "k1", "cash-in", "2,505"}).lines.at(0),
            "[Eroare] Suma eronata : cel mult doua zecimale !");
  EXPECT_EQ(Run({"--key", "k1", "cash-in", "0"}).key, KeyOutcome::None);
  ASSERT_TRUE(Run({"start"}).ok);
  Sent();
  EXPECT_EQ(Run({"--key", "k1", "z-report"}).lines, Lines{kStopProcessingFirst});
  EXPECT_TRUE(keys.records.empty());
  ASSERT_TRUE(Run({"stop"}).ok);
  Sent();
  // The key is still free: the corrected request runs under it.
  EXPECT_TRUE(Run({"--key", "k1", "cash-in", "2,50"}).ok);
  EXPECT_EQ(Sent(), (Lines{"1004", "7106D000000250"}));

  keys.failSaves = true;
  const ControlAnswer unsaved = Run({"--key", "k9", "x-report"});
  EXPECT_EQ(unsaved.key, KeyOutcome::NotSaved);
  EXPECT_TRUE(Sent().empty()) << "nothing reaches the ECR for a key that is not kept";
}

TEST_F(ControlCommandsKeyedTest, BadKeysAndNoStoreAreRefused) {
  EXPECT_TRUE(Run({"--key", "bad key", "x-report"}).refused);
  EXPECT_TRUE(Run({"--key"}).refused);
  EXPECT_TRUE(Run({"x-report", "--key"}).refused);
  UseOperationKeys(nullptr);
  EXPECT_TRUE(Run({"--key", "k1", "x-report"}).refused);
  EXPECT_TRUE(Sent().empty());
  // status, start and stop are the same however often they come.
  UseOperationKeys(&keys);
  EXPECT_TRUE(Run({"--key", "k1", "status"}).ok);
  EXPECT_TRUE(keys.records.empty());
}

TEST_F(ControlCommandsKeyedTest, ACashOperationCutOffIsAnsweredFromTheDailyTotals) {
  // Carried out: the ECR counted it, with its amount.
  ASSERT_TRUE(Run({"--key", "done", "cash-in", "5"}).ok);
  keys.records.at("done").answer.reset();
  Sent();
  const ControlAnswer done = Run({"--key", "done", "cash-in", "5"});
  EXPECT_TRUE(done.ok) << ::testing::PrintToString(done.lines);
  EXPECT_EQ(Sent(), Lines{"1004"});
  EXPECT_TRUE(Run({"--key", "done", "cash-in", "5"}).replayed) << "the verdict is kept";

  // Not carried out: nothing moved since.
  CutOff("lost", {"cash-out", "3"}, Totals());
  const ControlAnswer lost = Run({"--key", "lost", "cash-out", "3"});
  EXPECT_FALSE(lost.ok);
  EXPECT_EQ(lost.key, KeyOutcome::None);
  EXPECT_NE(lost.lines.at(0).find("nu a fost efectuata"), std::string::npos);
  EXPECT_EQ(Sent(), Lines{"1004"}) << "never sent again";

  // Other cash moved meanwhile: it cannot be told.
  CutOff("blur", {"cash-in", "7"}, Totals());
  Prepare([](TXruvoLinux& link) { ASSERT_TRUE(link.CashInOut("D", 3.0)); });
  EXPECT_EQ(Run({"--key", "blur", "cash-in", "7"}).key, KeyOutcome::Undetermined);
  Sent();

  // A report leaves nothing in the totals to tell by: the ECR is not even asked.
  CutOff("x", {"x-report"}, "");
  EXPECT_EQ(Run({"--key", "x", "x-report"}).key, KeyOutcome::Undetermined);
  EXPECT_TRUE(Sent().empty());
}

TEST_F(ControlCommandsKeyedTest, AZReportCutOffIsToldByTheClearedDay) {
  Prepare([](TXruvoLinux& link) { ASSERT_TRUE(link.CashInOut("D", 10.0)); });
  const std::string busyDay = Totals();
  CutOff("z-not", {"z-report"}, busyDay);
  EXPECT_FALSE(Run({"--key", "z-not", "z-report"}).ok);
  EXPECT_EQ(keys.records.at("z-not").answer->key, KeyOutcome::None);

  ASSERT_TRUE(Run({"--key", "z1", "z-report"}).ok);
  keys.records.at("z1").answer.reset();
  EXPECT_TRUE(Run({"--key", "z1", "z-report"}).ok);
  // A day that was empty before looks the same after: unknown.
  CutOff("z-empty", {"z-report"}, Totals());
  EXPECT_EQ(Run({"--key", "z-empty", "z-report"}).key, KeyOutcome::Undetermined);
}

TEST(CarriedOut, OnlyAnExactStepOfItsOwnCounts) {
  auto block = [](int ins, long long inSum) {
    std::string text(253, '0');
    const std::string count = std::to_string(ins);
    const std::string sum = std::to_string(inSum);
    text.replace(188 + 4 - count.size(), count.size(), count);
    text.replace(192 + 9 - sum.size(), sum.size(), sum);
    return text;
  };
  const Lines cash = {"cash-in", "12.50"};
  EXPECT_EQ(CarriedOut(cash, block(2, 1000), block(3, 2250)), true);
  EXPECT_EQ(CarriedOut(cash, block(2, 1000), block(2, 1000)), false);
  EXPECT_EQ(CarriedOut(cash, block(2, 1000), block(3, 2251)), std::nullopt);
  EXPECT_EQ(CarriedOut(cash, block(2, 1000), block(4, 3500)), std::nullopt);
  EXPECT_EQ(CarriedOut(cash, block(2, 1000), block(0, 0)), std::nullopt);
  EXPECT_EQ(CarriedOut(cash, "short", block(0, 0)), std::nullopt);
  EXPECT_EQ(CarriedOut({"cash-in", "x"}, block(2, 1000), block(3, 2250)), std::nullopt);
}

}  // namespace
}  // namespace ruvo
