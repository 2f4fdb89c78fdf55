#include <gtest/gtest.h>

#include "TempFolder.h"
#include "platform/AtomicFile.h"
#include "platform/Files.h"
#include "platform/IniFile.h"

namespace ruvo {
namespace {

using ruvo::testing::TempFolder;

// Hand-edited settings as shops have them: comments, odd spacing, foreign sections, a
// conversion table with "=" in a value, Windows-1250 bytes and a last line without CR LF.
const std::string kSettings =
    "; Ruvo_Drv settings\r\n"
    "[Configurari]\r\n"
    "Port=3\r\n"
    "  LogFile = DA\r\n"
    "Delay=abc\r\n"
    "\r\n"
    "# kept as written\r\n"
    "[ConversieUM]\r\n"
    "BUC=buc\x96"
    "ati\r\n"
    "KG=a=b;c\r\n"
    "[Porturi]\n"
    "COM3=/dev/ttyUSB0";

TEST(IniFile, ChangingOneKeyKeepsEveryOtherByte) {
  TempFolder folder;
  const std::string path = folder / "XRUVODRV.INI";
  ASSERT_TRUE(WriteFileAtomic(path, kSettings));

  IniFile ini;
  ASSERT_TRUE(ini.Load(path));
  EXPECT_EQ(ini.Text(), kSettings);
  EXPECT_EQ(ini.ReadString("ConversieUM", "BUC"),
            "buc\x96"
            "ati");
  EXPECT_EQ(ini.ReadString("ConversieUM", "KG"), "a=b;c");

  ini.WriteInteger("Configurari", "Port", 7);
  ASSERT_TRUE(ini.Save());
  std::string expected = kSettings;
  expected.replace(expected.find("Port=3"), 6, "Port=7");
  EXPECT_EQ(ReadFileBytes(path), expected);
}

TEST(IniFile, NamesMatchWithoutCaseAndValuesLoseSurroundingBlanks) {
  IniFile ini;
  ini.Parse(kSettings);
  EXPECT_EQ(ini.ReadString("configurari", "PORT"), "3");
  EXPECT_EQ(ini.ReadString("CONFIGURARI", "logfile"), "DA");
  EXPECT_TRUE(ini.ReadFlag("Configurari", "LogFile"));
  EXPECT_EQ(ini.ReadString("porturi", "com3"), "/dev/ttyUSB0");
  EXPECT_EQ(ini.ReadString("Configurari", "BUC", "none"), "none") << "key of another section";
  EXPECT_TRUE(ini.HasSection("conversieum"));
  EXPECT_FALSE(ini.HasSection("Lipsa"));
}

TEST(IniFile, IntegersAndFlagsFallBackToDefaults) {
  IniFile ini;
  ini.Parse(
      "[C]\r\nA=12\r\nB= -5 \r\nC=12a\r\nD=\r\nE=99999999999\r\nF=+4\r\nG=1 2\r\n"
      "H=-2147483648\r\nOn=DA\r\nLower=da\r\nWord=DAA\r\n");
  EXPECT_EQ(ini.ReadInteger("C", "A", 1), 12);
  EXPECT_EQ(ini.ReadInteger("C", "B", 1), -5);
  EXPECT_EQ(ini.ReadInteger("C", "C", 1), 1);
  EXPECT_EQ(ini.ReadInteger("C", "D", 1), 1);
  EXPECT_EQ(ini.ReadInteger("C", "E", 1), 1);
  EXPECT_EQ(ini.ReadInteger("C", "F", 1), 4);
  EXPECT_EQ(ini.ReadInteger("C", "G", 1), 1);
  EXPECT_EQ(ini.ReadInteger("C", "H", 1), -2147483647 - 1);
  EXPECT_EQ(ini.ReadInteger("C", "Missing", 100), 100);
  EXPECT_TRUE(ini.ReadFlag("C", "On"));
  EXPECT_FALSE(ini.ReadFlag("C", "Lower"));
  EXPECT_FALSE(ini.ReadFlag("C", "Word"));
  EXPECT_FALSE(ini.ReadFlag("C", "Missing"));
}

TEST(IniFile, NewKeysJoinTheirSectionAndNewSectionsGoLast) {
  IniFile ini;
  ini.Parse("[A]\r\nx=1\r\n\r\n[B]\r\ny=2");
  ini.WriteString("a", "z", "3");
  ini.WriteString("B", "w", "4");
  ini.WriteString("New", "k", "v");
  EXPECT_EQ(ini.Text(), "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\nw=4\r\n\r\n[New]\r\nk=v\r\n");

  // A key or value that would break the line structure must not damage the file.
  const std::string before = ini.Text();
  ini.WriteString("A", "bad\r\nkey", "1");
  ini.WriteString("A", "", "1");
  ini.WriteString("A", "k=v", "1");
  EXPECT_EQ(ini.Text(), before);
  ini.WriteString("A", "x", "line\r\nbreak");
  EXPECT_EQ(ini.ReadString("A", "x"), "linebreak");
  EXPECT_EQ(ini.SectionValues("B").size(), 2u);
}

TEST(IniFile, SectionValuesInFileOrder) {
  IniFile ini;
  ini.Parse(
      "[ConversieUM]\r\n; comment\r\nKG=kg\r\nnot a "
      "pair\r\nBUC=b=c\r\nKG=second\r\n[X]\r\nQ=1\r\n");
  const auto values = ini.SectionValues("conversieum");
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0], (std::pair<std::string, std::string>{"KG", "kg"}));
  EXPECT_EQ(values[1], (std::pair<std::string, std::string>{"BUC", "b=c"}));
  EXPECT_EQ(values[2].second, "second");
  EXPECT_EQ(ini.ReadString("ConversieUM", "KG"), "kg") << "the first of duplicates wins";
  EXPECT_TRUE(ini.SectionValues("Lipsa").empty());
}

TEST(IniFile, MissingFileLoadsEmptyAndSaveCreatesIt) {
  TempFolder folder;
  const std::string path = folder / "RUVODRV.INFO";
  IniFile ini;
  ASSERT_TRUE(ini.Load(path));
  EXPECT_EQ(ini.Text(), "");
  EXPECT_EQ(ini.ReadInteger("INFO", "X", 9), 9);
  ini.WriteString("INFO", "Stare", "START PROCESARE");
  ASSERT_TRUE(ini.Save());
  EXPECT_EQ(ReadFileBytes(path), "[INFO]\r\nStare=START PROCESARE\r\n");

  IniFile notAFile;
  EXPECT_FALSE(notAFile.Load(folder.Path())) << "a folder is no settings file";
}

TEST(IniFile, ByteOrderMarkDoesNotHideTheFirstSection) {
  IniFile ini;
  ini.Parse("\xEF\xBB\xBF[Configurari]\r\nPort=2\r\n");
  EXPECT_EQ(ini.ReadInteger("Configurari", "Port", 1), 2);
  ini.WriteInteger("Configurari", "Port", 5);
  EXPECT_EQ(ini.Text(), "\xEF\xBB\xBF[Configurari]\r\nPort=5\r\n");
}

}  // namespace
}  // namespace ruvo
