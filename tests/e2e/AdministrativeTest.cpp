// Reports, queries, non-fiscal receipts and cash movements through receipt files.
#include <gtest/gtest.h>

#include "DriverRig.h"
#include "E2eFiles.h"

namespace ruvo::e2e {
namespace {

using AdministrativeTest = DriverTest;

TEST_F(AdministrativeTest, AZReportPrintsTheDayAndTheNextReceiptStartsAgainAtOne) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  const std::vector<std::string> sale = {"1;PAINE ALBA;BUC;1;1;250;200000", "5;500;1"};
  const std::vector<std::string> first = rig.Run("ONLINE.TXT", sale);
  ASSERT_EQ(first, (std::vector<std::string>{"0 OK", "BON FISCAL NR. 0001"}));

  EXPECT_EQ(rig.Run("ONLINE.TXT", {"15"}), std::vector<std::string>{"0 OK"});
  const std::string paper = rig.Ecr().Paper();
  const std::size_t report = paper.find("RAPORT FISCAL Z");
  ASSERT_NE(report, std::string::npos) << paper;
  EXPECT_NE(paper.find("Z NR. 0001", report), std::string::npos) << paper;
  EXPECT_NE(paper.find("5.00", report), std::string::npos) << "the day's total\n" << paper;

  EXPECT_EQ(rig.Run("ONLINE.TXT", sale), (std::vector<std::string>{"0 OK", "BON FISCAL NR. 0001"}));
}

TEST_F(AdministrativeTest, TheStateQueryWithNoReceiptOpenSaysSo) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  const std::vector<std::string> response = rig.Run("ONLINE.TXT", {"9999"});
  EXPECT_EQ(response, (std::vector<std::string>{"0 OK", "#0;NU EXISTA BON IN DERULARE"}));
  EXPECT_EQ(rig.Ecr().Paper().find(kCutLine), std::string::npos) << rig.Ecr().Paper();
}

TEST_F(AdministrativeTest, ANonFiscalReceiptPrintsItsTextsAndAnswersItsNumber) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  const std::vector<std::string> response =
      rig.Run("ONLINE.TXT", {"20", "21;1;COMANDA NR. 12", "21;1;MULTUMIM PENTRU VIZITA"});
  EXPECT_EQ(response, (std::vector<std::string>{"0 OK", "BON NEFISCAL NR. 0001"}));
  const std::string paper = rig.Ecr().Paper();
  const std::size_t start = paper.find("BON NEFISCAL");
  ASSERT_NE(start, std::string::npos) << paper;
  const std::size_t first = paper.find("COMANDA NR. 12", start);
  const std::size_t second = paper.find("MULTUMIM PENTRU VIZITA", start);
  const std::size_t number = paper.find("BON NEFISCAL NR. 0001", start);
  ASSERT_NE(number, std::string::npos) << paper;
  EXPECT_LT(first, second);
  EXPECT_LT(second, number);
  EXPECT_NE(paper.find(kCutLine, number), std::string::npos) << paper;
  EXPECT_EQ(paper.find("BON FISCAL\n"), std::string::npos) << "no fiscal receipt was asked for";
}

TEST_F(AdministrativeTest, CashInAnswersTheCashInTheDrawer) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  const std::vector<std::string> response = rig.Run("ONLINE.TXT", {"25;D;1000"});
  EXPECT_EQ(response, (std::vector<std::string>{"0 OK", "NUMERAR SERTAR : 10.00"}));
  const std::string paper = rig.Ecr().Paper();
  const std::size_t line = paper.find("INTRARE NUMERAR");
  ASSERT_NE(line, std::string::npos) << paper;
  EXPECT_NE(paper.find("10.00", line), std::string::npos) << paper;

  // Reading the drawer moves nothing and prints nothing.
  const std::size_t printed = paper.size();
  EXPECT_EQ(rig.Run("ONLINE.TXT", {"25;R"}),
            (std::vector<std::string>{"0 OK", "NUMERAR SERTAR : 10.00"}));
  EXPECT_EQ(rig.Ecr().Paper().size(), printed);
}

}  // namespace
}  // namespace ruvo::e2e
