#include <gtest/gtest.h>

#include "Fields.h"
#include "SimTestSupport.h"

namespace xruvo_sim::test {
namespace {

TEST(SimFields, AmountsKeepTheMinusInsideTheirFields) {
  std::string text =
      "00000-5"
      "-25"
      "0000012"
      "35";
  FieldReader f(text);
  std::int64_t a = 0, b = 0;
  ASSERT_TRUE(f.Amount(7, 2, a));
  ASSERT_TRUE(f.Amount(7, 2, b));
  EXPECT_EQ(a, -525);
  EXPECT_EQ(b, 1235);
  EXPECT_TRUE(f.AtEnd());
  std::string bad =
      "0001-00"
      "00";
  FieldReader g(bad);
  EXPECT_FALSE(g.Amount(7, 2, a));  // a minus after a digit is no number
  std::string shortText = "05ABC";
  FieldReader h(shortText);
  std::string out;
  EXPECT_FALSE(h.LengthText(2, out));  // announces 5, holds 3
  EXPECT_EQ(h.Rest(), "05ABC");        // and leaves the position alone
  EXPECT_EQ(DivideRounded(-5, 2), -3);
  EXPECT_EQ(DivideRounded(5, 2), 3);
  EXPECT_EQ(SignedAmount10(-50), "-000000050");
  EXPECT_EQ(MoneyText(-50), "-0.50");
}

TEST(SimReports, ReportsCheckTheirDatesAndNumbers) {
  SimBench bench;
  EXPECT_EQ(bench.Data("8004"
                       "000000001"),
            "ERR03");  // nothing in the journal yet
  EXPECT_EQ(bench.Data("5002"
                       "310224"
                       "010324"),
            "ERR12");
  EXPECT_EQ(bench.Data("5003"
                       "010324"
                       "010224"),
            "ERR12");  // ends before it starts
  EXPECT_EQ(bench.Data("5002"
                       "0102"),
            "ERR24");
  EXPECT_EQ(bench.Data("5001"
                       "0005"
                       "0003"),
            "ERR03");
  EXPECT_EQ(bench.Data("8001"
                       "010126"
                       "310126"),
            "");
  EXPECT_EQ(bench.Data("8002"
                       "150126"
                       "0001"
                       "0009"),
            "");
  EXPECT_EQ(bench.Data("8003"
                       "0001"
                       "0002"),
            "");
  EXPECT_EQ(bench.Data("5004"), "");
  EXPECT_EQ(bench.Data("2103"), "");
  EXPECT_EQ(bench.Data("8004"
                       "000000001"),
            "");
}

TEST(SimReports, MfReportListsTheZReportsOfThePeriod) {
  SimBench bench;
  bench.Data("2002");
  bench.clock.Advance(2LL * 24 * 60 * 60 * 1000);
  bench.Data("2002");
  bench.engine.GetPaper().Forget();
  EXPECT_EQ(bench.Data("5002"
                       "150126"
                       "150126"),
            "");
  const std::string paper = bench.engine.GetPaper().Text();
  EXPECT_NE(paper.find("Z 0001 15-01-2026"), std::string::npos) << paper;
  EXPECT_EQ(paper.find("Z 0002"), std::string::npos);
  EXPECT_EQ(bench.engine.GetDevice().ZHistory().size(), 2u);
}

TEST(SimReports, PrintingUsesUpJournalLines) {
  SimConfig config;
  config.jeFreeLines = 30;
  SimBench bench(config);
  EXPECT_EQ(bench.Data("2003"), "");
  const std::int64_t left = bench.engine.GetDevice().JeFreeLines();
  EXPECT_LT(left, 30);
  for (int k = 0; k < 10 && bench.engine.GetDevice().JeFreeLines() > 0; ++k) bench.Data("2003");
  EXPECT_EQ(bench.engine.GetDevice().JeFreeLines(), 0);
  EXPECT_EQ(bench.Data("1215")[11], '1');  // journal full
  EXPECT_EQ(bench.Data("33021"
                       "001"
                       "000001000"
                       "01"
                       "01A"
                       "04 BUC"
                       "000100000"
                       "0001"),
            "ERR30");
  EXPECT_EQ(bench.Data("2002"), "");  // the Z report still runs
}

TEST(SimReports, ReportTimeKeepsTheEcrBusy) {
  SimConfig config;
  config.reportMs = 60000;
  SimBench bench(config);
  // A Z report answers after a minute of printing, well within the driver's 180 s.
  const std::int64_t before = bench.clock.MonotonicMs();
  std::string answer = bench.Exchange("2002", 5000);
  for (int k = 0; k < 20 && answer.empty(); ++k) answer = bench.Collect(5000);
  ASSERT_EQ(answer.size(), 12u);
  EXPECT_EQ(answer.substr(5, 4), "2002");
  EXPECT_EQ(bench.clock.MonotonicMs() - before, 60000);
}

}  // namespace
}  // namespace xruvo_sim::test
