// Sales end to end: a receipt file in the working folder, the driver over a real
// pseudo-terminal, the receipt on the simulator's paper and the answer in ERROR.TXT.
#include <gtest/gtest.h>

#include "DriverRig.h"
#include "E2eFiles.h"

namespace ruvo::e2e {
namespace {

const std::vector<std::string> kBreadSale = {"1;PAINE ALBA;BUC;1;1;250;200000", "5;500;1"};

using SaleTest = DriverTest;

TEST_F(SaleTest, APaidSalePrintsCutsAndAnswersWithTheReceiptNumber) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  WriteBytes(rig.PathOf("ERROR.TXT"), "0 OK\r\nBON FISCAL NR. 0815\r\n");  // yesterday's

  ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText(kBreadSale)));
  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
  ASSERT_TRUE(response) << rig.DriverMessages();
  EXPECT_EQ(*response, "0 OK\r\nBON FISCAL NR. 0001\r\n");

  const std::string paper = rig.Ecr().Paper();
  const std::size_t article = paper.find("PAINE ALBA");
  const std::size_t number = paper.find("BON FISCAL NR. 0001");
  ASSERT_NE(article, std::string::npos) << paper;
  ASSERT_NE(number, std::string::npos) << paper;
  EXPECT_LT(article, number);
  EXPECT_NE(paper.find("TOTAL", article), std::string::npos) << paper;
  EXPECT_NE(paper.find("5.00", article), std::string::npos) << paper;
  EXPECT_NE(paper.find(kCutLine, number), std::string::npos) << "no cut after the receipt\n"
                                                             << paper;

  // The next sale gets the next number, and its own receipt on the paper.
  EXPECT_EQ(rig.Run("ONLINE.TXT", kBreadSale),
            (std::vector<std::string>{"0 OK", "BON FISCAL NR. 0002"}));
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "PAINE ALBA"), 2);
  EXPECT_TRUE(PathExists(rig.PathOf("Log")));
}

TEST_F(SaleTest, TheExampleSaleOfTheProjectPrints) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  const std::string example = ReadBytes(std::string(RUVO_SOURCE_DIR) + "/examples/ONLINE.TXT");
  ASSERT_FALSE(example.empty());
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", example));
  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
  ASSERT_TRUE(response) << rig.DriverMessages();
  EXPECT_EQ(*response, "0 OK\r\nBON FISCAL NR. 0001\r\n");
  const std::string paper = rig.Ecr().Paper();
  EXPECT_NE(paper.find("PAINE ALBA"), std::string::npos) << paper;
  EXPECT_NE(paper.find("LAPTE UHT"), std::string::npos) << paper;
  EXPECT_NE(paper.find("11.75"), std::string::npos) << paper;
}

RigOptions WithSecondEcr() {
  RigOptions options;
  options.secondEcr = true;
  return options;
}

class SecondPortTest : public DriverTest {
 protected:
  SecondPortTest() : DriverTest(WithSecondEcr()) {}
};

TEST_F(SecondPortTest, AFirstLineCom2PrintsOnTheEcrOfCom2) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  std::vector<std::string> lines = {"COM2"};
  lines.insert(lines.end(), kBreadSale.begin(), kBreadSale.end());
  const std::vector<std::string> response = rig.Run("ONLINE.TXT", lines);
  EXPECT_EQ(response, (std::vector<std::string>{"0 OK", "BON FISCAL NR. 0001"}));
  EXPECT_NE(rig.SecondEcr().Paper().find("PAINE ALBA"), std::string::npos)
      << rig.SecondEcr().Paper();
  EXPECT_EQ(rig.Ecr().Paper().find("PAINE ALBA"), std::string::npos) << rig.Ecr().Paper();

  // Without the line the file goes to the port of the settings again.
  EXPECT_EQ(rig.Run("ONLINE.TXT", kBreadSale),
            (std::vector<std::string>{"0 OK", "BON FISCAL NR. 0001"}));
  EXPECT_NE(rig.Ecr().Paper().find("PAINE ALBA"), std::string::npos) << rig.Ecr().Paper();
}

}  // namespace
}  // namespace ruvo::e2e
