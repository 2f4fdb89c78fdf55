// What reaches a manual operation while it waits for the ECR: a stop of the report it
// prints, travelling on its own link, and a second operation, refused by name. Virtual
// time; the requests arrive through the event pump, as clicks and control requests do.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "console/ManualOperations.h"
#include "support/ConsoleRig.h"
#include "support/ScriptedPump.h"

namespace ruvo {
namespace {

using Texts = std::vector<std::string>;

constexpr std::int64_t kReportMs = 30'000;

xruvo_sim::SimConfig PrintingFor(std::int64_t ms, std::int64_t answerDelayMs = 0) {
  xruvo_sim::SimConfig config;
  config.reportMs = ms;
  config.answerDelayMs = answerDelayMs;
  return config;
}

class OperationDuringWaitTest : public testing::ConsoleRig {
 protected:
  explicit OperationDuringWaitTest(xruvo_sim::SimConfig config = PrintingFor(kReportMs))
      : ConsoleRig(std::move(config)) {
    state.settings.logFile = true;
  }
  ConsoleContext Pumped() { return ConsoleContext{DriverContext{clock, script, op, ports}, state}; }

  bool LogHas(const std::string& text) {
    for (const std::string& name : Files("Log", "Log_RapZ_*.TXT")) {
      const auto lines = ReadLines(state.workingFolder + "Log/" + name);
      for (const std::string& line : lines.value_or(Texts{})) {
        if (line.find(text) != std::string::npos) return true;
      }
    }
    return false;
  }

  testing::ScriptedPump script{clock};
};

TEST_F(OperationDuringWaitTest, StopDuringTheZReportTravelsOnItsLinkAndEndsIt) {
  bool stopAccepted = false;
  std::string runningMeanwhile;
  script.At(5'000, [&] {
    runningMeanwhile = state.operation.name;
    stopAccepted = StopMfReport(Pumped());
    // A second press while the first stop travels sends no second one.
    stopAccepted = StopMfReport(Pumped()) && stopAccepted;
  });
  const std::int64_t start = clock.MonotonicMs();
  EXPECT_FALSE(RunZReport(Pumped()));
  EXPECT_TRUE(script.AllDone());
  EXPECT_EQ(runningMeanwhile, "Raport zilnic");
  EXPECT_TRUE(stopAccepted);
  // No second port was made for the stop: the report's one carried it.
  EXPECT_EQ(ports.made, 1);
  EXPECT_EQ(ports.open, 0);
  EXPECT_EQ(Sent(), (Texts{"1215", "2002", "5005"}));
  EXPECT_NE(engine.GetPaper().Text().find("RAPORT INTRERUPT"), std::string::npos);
  EXPECT_LT(clock.MonotonicMs() - start, 10'000);
  ASSERT_EQ(op.boxes.size(), 1u);
  EXPECT_EQ(op.boxes[0].text, "Nu pot efectua raportul Z  !\r26;Operatie intrerupta de utilizator");
  // The stop's own answer was read too, and logged after the report's.
  EXPECT_TRUE(LogHas("-Ecr result : 26"));
  EXPECT_TRUE(LogHas("-Ecr result : 0"));
  EXPECT_FALSE(state.operation.Active());

  // The line is clean afterwards: the next operation gets its own answers.
  op.boxes.clear();
  clock.Advance(1000);
  EXPECT_TRUE(RunXReport(Context()));
  EXPECT_TRUE(op.boxes.empty());
}

TEST_F(OperationDuringWaitTest, SecondOperationDuringAReportIsRefusedByName) {
  std::vector<bool> results;
  script.At(2'000, [&] { results.push_back(RunZReport(Pumped())); });
  script.At(3'000, [&] {
    CashRequest cash;
    cash.amountText = "10.00";
    results.push_back(RunCashInOut(Pumped(), cash));
  });
  EXPECT_TRUE(RunZReport(Pumped()));
  EXPECT_EQ(results, (std::vector<bool>{false, false}));
  EXPECT_EQ(engine.GetDevice().LastZNumber(), 1);
  EXPECT_EQ(ports.made, 1);
  EXPECT_EQ(Sent(), (Texts{"1215", "2002"}));
  ASSERT_EQ(op.boxes.size(), 2u);
  for (const auto& box : op.boxes) {
    EXPECT_EQ(box.text, "O operatie este in curs: Raport zilnic");
    EXPECT_EQ(box.caption, "Atentie");
  }
}

TEST_F(OperationDuringWaitTest, StopDuringANonReportOperationIsRefusedAndSendsNothing) {
  bool stopped = true;
  script.At(0, [&] { stopped = StopMfReport(Pumped()); });
  CashRequest cash;
  cash.amountText = "10.00";
  EXPECT_TRUE(RunCashInOut(Pumped(), cash));
  EXPECT_FALSE(stopped);
  for (const std::string& sent : Sent()) EXPECT_NE(sent, "5005");
  ASSERT_FALSE(op.boxes.empty());
  EXPECT_EQ(op.boxes.back().text, "O operatie este in curs: Intrare/Iesire numerar sertar");
}

class SlowAnswerTest : public OperationDuringWaitTest {
 protected:
  SlowAnswerTest() : OperationDuringWaitTest(PrintingFor(kReportMs, 2'000)) {}
};

TEST_F(SlowAnswerTest, StopAskedBeforeTheReportLeavesKeepsTheReportFromStarting) {
  script.At(500, [&] { EXPECT_TRUE(StopMfReport(Pumped())); });
  EXPECT_FALSE(RunZReport(Pumped()));
  const Texts sent = Sent();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "2002"), 0);
  EXPECT_EQ(engine.GetDevice().LastZNumber(), 0);
  ASSERT_EQ(op.boxes.size(), 1u);
  EXPECT_EQ(op.boxes[0].text, "Nu pot efectua raportul Z  !\r26;Operatie intrerupta de utilizator");
  EXPECT_FALSE(state.operation.Active());
}

}  // namespace
}  // namespace ruvo
