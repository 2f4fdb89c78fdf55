// The receipt files themselves, end to end: refused files are answered and print nothing,
// and each receipt file name is answered in the response file of its own suffix.
#include <gtest/gtest.h>

#include "DriverRig.h"
#include "E2eFiles.h"

namespace ruvo::e2e {
namespace {

using ReceiptFilesTest = DriverTest;

TEST_F(ReceiptFilesTest, ARefusedLineIsAnsweredWithItselfAndNothingIsPrinted) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  const std::string paperBefore = rig.Ecr().Paper();
  // VAT code 9 does not exist; the first line is good and must not print either.
  EXPECT_EQ(rig.Run("ONLINE.TXT", {"1;PAINE ALBA;BUC;1;1;250;100000",
                                   "1;APA PLATA;BUC;1;9;300;100000", "5;550;1"}),
            (std::vector<std::string>{
                "1 ERROR",
                "8010;Codul cotei de TVA este eronata : 1;APA PLATA;BUC;1;9;300;100000"}));
  // A sale the sales application forgot to pay: refused as a whole, before any line runs.
  EXPECT_EQ(rig.Run("ONLINE.TXT", {"1;PAINE ALBA;BUC;1;1;250;100000"}),
            (std::vector<std::string>{"1 ERROR", "8026;Nu este precizat modul de plata "}));
  EXPECT_EQ(rig.Ecr().Paper(), paperBefore);
  EXPECT_TRUE(rig.DriverRunning());
}

TEST_F(ReceiptFilesTest, AnEmptyFileIsAnsweredWith8005) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", ""));
  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
  ASSERT_TRUE(response) << rig.DriverMessages();
  EXPECT_EQ(*response, "1 ERROR\r\n8005;Fisierul de intrare nu contine date\r\n");
  EXPECT_EQ(rig.Ecr().Paper(), "");
}

TEST_F(ReceiptFilesTest, BinaryGarbageIsRefusedByteForByteAndTheDriverGoesOn) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  std::string garbage("\x00\x01\xff;\x96;;", 7);
  garbage += std::string(20000, 'X');
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", garbage + "\r\n5;100;1\r\n"));
  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
  ASSERT_TRUE(response) << rig.DriverMessages();
  // The answer names the first control character and repeats the first kilobyte of the
  // line, control characters shown as "?", and tells its length.
  std::string shown = garbage.substr(0, 1024);
  shown[0] = shown[1] = '?';
  EXPECT_EQ(*response,
            "1 ERROR\r\n8053;Caracter de control nepermis (cod 0) in campul 0, pozitia 1 : " +
                shown + " [... 20007 caractere]\r\n");
  EXPECT_EQ(rig.Ecr().Paper(), "");
  EXPECT_TRUE(rig.DriverRunning());
}

TEST_F(ReceiptFilesTest, EachSuffixIsAnsweredInItsOwnResponseFile) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  // Both wait in the folder before the driver gets to them; the name is matched whatever
  // its case, and online7.txt is answered in ERROR7.TXT.
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText({"1;PAINE ALBA;BUC;1;1;250;100000", "5;250;1"})));
  ASSERT_TRUE(rig.Drop("online7.txt", ReceiptText({"1;LAPTE UHT;L;1;2;675;100000", "5;675;1"})));
  const std::optional<std::string> plain = rig.AwaitResponse("ONLINE.TXT");
  const std::optional<std::string> seven = rig.AwaitResponse("online7.txt");
  ASSERT_TRUE(plain) << rig.DriverMessages();
  ASSERT_TRUE(seven) << rig.DriverMessages();
  const std::vector<std::string> plainLines = ResponseLines(*plain);
  const std::vector<std::string> sevenLines = ResponseLines(*seven);
  ASSERT_EQ(plainLines.size(), 2u) << *plain;
  ASSERT_EQ(sevenLines.size(), 2u) << *seven;
  EXPECT_EQ(plainLines[0], "0 OK");
  EXPECT_EQ(sevenLines[0], "0 OK");
  // The order between the two is the file system's; the numbers are 1 and 2.
  EXPECT_NE(plainLines[1], sevenLines[1]);
  for (const std::string& line : {plainLines[1], sevenLines[1]})
    EXPECT_TRUE(line == "BON FISCAL NR. 0001" || line == "BON FISCAL NR. 0002") << line;
  // Each answer belongs to its file: the number on the paper after its article.
  const std::string paper = rig.Ecr().Paper();
  const std::size_t bread = paper.find("PAINE ALBA");
  const std::size_t milk = paper.find("LAPTE UHT");
  ASSERT_NE(bread, std::string::npos) << paper;
  ASSERT_NE(milk, std::string::npos) << paper;
  EXPECT_EQ(paper.find(plainLines[1], bread) < paper.find(sevenLines[1], bread), bread < milk)
      << paper;
}

}  // namespace
}  // namespace ruvo::e2e
