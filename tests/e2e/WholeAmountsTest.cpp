// Amounts end to end: a sales application that writes "2.50" for a price means two lei
// fifty; the driver refuses the line rather than print a receipt at 0.00 answered "0 OK".
#include <gtest/gtest.h>

#include "DriverRig.h"
#include "E2eFiles.h"

namespace ruvo::e2e {
namespace {

using WholeAmountsTest = DriverTest;

TEST_F(WholeAmountsTest, AnAmountWithADecimalSeparatorPrintsNothingAndIsRefused) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  EXPECT_EQ(rig.Run("ONLINE.TXT", {"1;PAINE ALBA;BUC;1;1;2.50;100000", "5;250;1"}),
            (std::vector<std::string>{"1 ERROR",
                                      "8011;Pret eronat : 1;PAINE ALBA;BUC;1;1;2.50;100000"}));
  EXPECT_EQ(rig.Run("ONLINE.TXT", {"1;PAINE ALBA;BUC;1;1;250;100000", "5;2,50;1"}),
            (std::vector<std::string>{"1 ERROR", "8013;Suma mod plata eronata : 5;2,50;1"}));
  EXPECT_EQ(rig.Run("ONLINE.TXT", {"25;D;10.00"}),
            (std::vector<std::string>{"1 ERROR", "8022;Suma eronata : 25;D;10.00"}));
  EXPECT_EQ(rig.Ecr().Paper().find("PAINE ALBA"), std::string::npos) << rig.Ecr().Paper();

  // The same sale in hundredths prints at its price.
  EXPECT_EQ(rig.Run("ONLINE.TXT", {"1;PAINE ALBA;BUC;1;1;250;100000", "5;250;1"}),
            (std::vector<std::string>{"0 OK", "BON FISCAL NR. 0001"}));
  const std::string paper = rig.Ecr().Paper();
  EXPECT_EQ(CountOf(paper, "PAINE ALBA"), 1) << paper;
  EXPECT_NE(paper.find("2.50"), std::string::npos) << paper;
}

}  // namespace
}  // namespace ruvo::e2e
