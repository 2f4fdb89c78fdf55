// Files one after another on the simulated ECR: each answer tells of its own file only,
// whatever the file before it answered, left unfinished or failed with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ExecBench.h"

namespace ruvo::exec_testing {
namespace {

using Lines = std::vector<std::string>;

const Lines kSale = {"1;PAINE;BUC;1;1;250;100000", "5;250;1"};

TEST(ExecNextFile, EachAnswerCarriesOnlyWhatItsOwnFileGave) {
  ExecBench bench;
  EXPECT_EQ(bench.Run(kSale), (Lines{"0 OK", "BON FISCAL NR. 0001"}));
  EXPECT_EQ(bench.Run({"17"}).size(), 33u);  // the daily totals' lines
  EXPECT_EQ(bench.Run({"9999"}), (Lines{"0 OK", "#0;NU EXISTA BON IN DERULARE"}));
  // The drawer holds the sale's 2.50 as well.
  EXPECT_EQ(bench.Run({"25;D;1000"}), (Lines{"0 OK", "NUMERAR SERTAR : 12.50"}));
  const Lines nonFiscal = bench.Run({"20", "21;1;TEXT"});
  ASSERT_EQ(nonFiscal.size(), 2u);
  EXPECT_EQ(nonFiscal[1].rfind("BON NEFISCAL NR. ", 0), 0u) << nonFiscal[1];
  EXPECT_EQ(bench.Run({"79;1;1;1"}).size(), 2u);  // the journal's answer line
  EXPECT_EQ(bench.Run({"30"}), Lines{"0 OK"});
}

TEST(ExecNextFile, AFileThatFailedHalfWayLeavesNothingToThePlainOneAfterIt) {
  ExecBench bench;
  // Closed and counted, then the cut fails: a number and a message of its own; the next
  // file finishes that receipt and says so, the one after says nothing of either.
  ASSERT_TRUE(bench.Fault("err 3015 67 once"));
  EXPECT_EQ(bench.Run(kSale).size(), 3u);
  EXPECT_EQ(bench.Run(kSale),
            (Lines{"0 OK", "BON FISCAL NR. 0002", "A FOST FINALIZAT AUTOMAT BONUL 0001"}));
  EXPECT_EQ(bench.Run(kSale), (Lines{"0 OK", "BON FISCAL NR. 0003"}));

  // Refused before its payment: an error of its own, then a plain report.
  ASSERT_TRUE(bench.Fault("err 3011 5 once"));
  EXPECT_EQ(bench.Run(kSale)[0], "1 ERROR");
  EXPECT_EQ(bench.Run({"30"}).size(), 2u);  // the finished receipt, told once
  EXPECT_EQ(bench.Run({"30"}), Lines{"0 OK"});
}

}  // namespace
}  // namespace ruvo::exec_testing
