// The answer to a payment, the close, the number query or the cut lost on the line: the
// ECR is asked what it did, nothing is sent twice, and the file is answered truthfully.
#include <gtest/gtest.h>

#include "support/ExecBench.h"

namespace ruvo::exec_testing {
namespace {

using Lines = std::vector<std::string>;

const Lines kSale = {"1;PAINE;BUC;1;1;250;100000", "5;250;1"};

TEST(ExecLostAnswer, APaymentTheEcrTookGoesOnToTheClose) {
  for (const char* fault : {"lose 3007 after", "lose 3007 garble"}) {
    SCOPED_TRACE(fault);
    ExecBench bench;
    ASSERT_TRUE(bench.Fault(fault));
    EXPECT_EQ(bench.Run(kSale), (Lines{"0 OK", "BON FISCAL NR. 0001"}));
    EXPECT_EQ(bench.Sent("3007"), 1);
    EXPECT_EQ(bench.Sent("3011"), 1);
    EXPECT_EQ(bench.PaperLinesWith("BON FISCAL NR. 0001"), 1);
  }
}

TEST(ExecLostAnswer, APaymentTheEcrNeverTookKeepsItsErrorAndIsNotSentAgain) {
  ExecBench bench;
  ASSERT_TRUE(bench.Fault("lose 3007 before"));
  const Lines response = bench.Run(kSale);
  ASSERT_EQ(response.size(), 2u);
  EXPECT_EQ(response[0], "1 ERROR");
  EXPECT_EQ(response[1].rfind("8048;", 0), 0u) << response[1];
  EXPECT_EQ(bench.Sent("3007"), 1);
  EXPECT_EQ(bench.Sent("3011"), 0);
}

TEST(ExecLostAnswer, ACloseTheEcrTookOrThatFoundTheReceiptPaidEndsInItsCut) {
  for (const char* fault : {"lose 3011 after", "lose 3011 garble", "lose 3011 before"}) {
    SCOPED_TRACE(fault);
    ExecBench bench;
    ASSERT_TRUE(bench.Fault(fault));
    EXPECT_EQ(bench.Run(kSale), (Lines{"0 OK", "BON FISCAL NR. 0001"}));
    EXPECT_EQ(bench.Sent("3011"), 1);
    EXPECT_EQ(bench.Sent("3015"), 1);
    EXPECT_EQ(bench.PaperLinesWith("BON FISCAL NR. 0001"), 1);
    // Nothing left open for the next file to finish.
    EXPECT_EQ(bench.Run(kSale), (Lines{"0 OK", "BON FISCAL NR. 0002"}));
  }
}

TEST(ExecLostAnswer, ACloseOfAnUnpaidReceiptKeepsItsError) {
  ExecBench bench;
  // The payment leaves half the total due; the close's cash payment of the rest is lost.
  ASSERT_TRUE(bench.Fault("lose 3007 before skip 1"));
  const Lines response = bench.Run({"1;PAINE;BUC;1;1;250;100000", "5;100;1"});
  ASSERT_EQ(response.size(), 2u);
  EXPECT_EQ(response[0], "1 ERROR");
  EXPECT_EQ(response[1].rfind("8048;", 0), 0u) << response[1];
  EXPECT_EQ(bench.Sent("3011"), 0);
}

TEST(ExecLostAnswer, ALostNumberIsAskedForAgain) {
  ExecBench bench;
  // The first "1112" notes the ECR's state before the lines.
  ASSERT_TRUE(bench.Fault("lose 1112 after skip 1"));
  EXPECT_EQ(bench.Run(kSale), (Lines{"0 OK", "BON FISCAL NR. 0001"}));
  EXPECT_EQ(bench.Sent("1112"), 3);
}

TEST(ExecLostAnswer, ACutTheEcrMadeCountsAndOneItDidNotKeepsTheHint) {
  {
    ExecBench bench;
    ASSERT_TRUE(bench.Fault("lose 3015 after"));
    EXPECT_EQ(bench.Run(kSale), (Lines{"0 OK", "BON FISCAL NR. 0001"}));
    EXPECT_EQ(bench.Sent("3015"), 1);
  }
  {
    ExecBench bench;
    ASSERT_TRUE(bench.Fault("lose 3015 before"));
    const Lines response = bench.Run(kSale);
    ASSERT_EQ(response.size(), 3u);
    EXPECT_EQ(response[0], "0 OK");
    EXPECT_EQ(response[1], "BON FISCAL NR. 0001");
    EXPECT_EQ(response[2].rfind("8048;", 0), 0u) << response[2];
    EXPECT_NE(response[2].find("verificati stare bon precedent cu comanda 9999"),
              std::string::npos);
    EXPECT_EQ(bench.Sent("3015"), 1);
  }
}

TEST(ExecLostAnswer, AnEcrThatCannotBeAskedLeavesTheSaleUnansweredUntilItCanTell) {
  // The ECR closed (or was paid), and then the question what it did is lost too: an error
  // would make the sales application send a sale again that stands printed.
  for (const std::vector<const char*>& faults :
       {std::vector<const char*>{"lose 3011 after", "lose 1112 before skip 1"},
        std::vector<const char*>{"lose 3007 after", "lose 1012 before"}}) {
    SCOPED_TRACE(faults[0]);
    ExecBench bench;
    for (const char* fault : faults) ASSERT_TRUE(bench.Fault(fault));
    // Not answered on a guess: the file waits with its record, and the cycle asks the ECR
    // again (at once, or at the next tick), which finishes its receipt as the sale's.
    Lines response = bench.Run(kSale);
    if (response.empty()) {
      bench.cycle.PickUpNext();
      response = bench.Response();
    }
    EXPECT_EQ(response, (Lines{"0 OK", "BON FISCAL NR. 0001"}));
    EXPECT_EQ(bench.Sent("3007"), 1) << "never paid twice";
    EXPECT_EQ(bench.PaperLinesWith("BON FISCAL NR. 0001"), 1);
    EXPECT_EQ(bench.PaperLinesWith("BON FISCAL NR. 0002"), 0);
  }
}

}  // namespace
}  // namespace ruvo::exec_testing
