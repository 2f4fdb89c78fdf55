// Loading and saving XRUVODRV.INI through the driver: every key's default and range rule,
// the folders the flags create, and a save that touches nothing but its nine keys.
#include <gtest/gtest.h>

#include "DriverTestSupport.h"
#include "app/SettingsFile.h"
#include "platform/Files.h"

namespace ruvo::testing {
namespace {

std::string Configurari(const std::string& lines) { return "[Configurari]\r\n" + lines; }

class SettingsTest : public ::testing::Test {
 protected:
  Settings Load(const std::string& lines) {
    bench.WriteSettings(Configurari(lines));
    bench.driver.LoadSettings();
    return bench.driver.State().settings;
  }
  DriverBench bench;
};

TEST_F(SettingsTest, MissingFileGivesTheDefaults) {
  bench.driver.LoadSettings();
  const Settings& s = bench.driver.State().settings;
  EXPECT_EQ(s.port, 1);
  EXPECT_EQ(s.longTimeOut, 5);
  EXPECT_EQ(s.codFormaPlata, 1);
  EXPECT_EQ(s.marjaZileStergere, 100);
  EXPECT_EQ(s.tratareBonInDerulare, 2);
  EXPECT_FALSE(s.logFile);
  EXPECT_FALSE(FolderExists(bench.Path("Log")));
  EXPECT_FALSE(FolderExists(bench.Path("History")));
  EXPECT_TRUE(bench.op.errors.empty());
}

TEST_F(SettingsTest, EveryKeyIsRead) {
  const Settings s = Load(
      "Port=7\r\nBaudRate=2\r\nModTaiere=1\r\nLiniiAvans=9\r\nLongTimeOut=30\r\n"
      "CodFormaPlata=7\r\nFaraVerificareConexiune=DA\r\nDialogMesajEroare=DA\r\n"
      "MesajLaListareItem=DA\r\nStergereFisierevechi=DA\r\nMarjaZileStergere=-3\r\n"
      "CuratareFolderLucru=DA\r\nTratareEroareStare=1\r\nTratareFormaPlata=1\r\nSintaxa=1\r\n"
      "Delay=250\r\n");
  EXPECT_EQ(s.port, 7);
  EXPECT_EQ(s.baudRate, 2);
  EXPECT_EQ(s.modTaiere, 1);
  EXPECT_EQ(s.liniiAvans, 9);
  EXPECT_EQ(s.longTimeOut, 30);
  EXPECT_EQ(s.codFormaPlata, 7);
  EXPECT_TRUE(s.faraVerificareConexiune);
  EXPECT_TRUE(s.dialogMesajEroare);
  EXPECT_TRUE(s.mesajLaListareItem);
  EXPECT_TRUE(s.stergereFisiereVechi);
  EXPECT_EQ(s.marjaZileStergere, -3);  // no range check
  EXPECT_TRUE(s.curatareFolderLucru);
  EXPECT_EQ(s.tratareEroareStare, 1);
  EXPECT_EQ(s.tratareFormaPlata, 1);
  EXPECT_EQ(s.sintaxa, 1);
  EXPECT_EQ(s.delay, 250);
}

TEST_F(SettingsTest, PortAboveSixteenKeepsThePreviousChoice) {
  EXPECT_EQ(Load("Port=17\r\n").port, 1);
  EXPECT_EQ(Load("Port=5\r\n").port, 5);
  EXPECT_EQ(Load("Port=17\r\n").port, 5);
  EXPECT_EQ(Load("Port=-2\r\n").port, 5);
  EXPECT_EQ(Load("Port=16\r\n").port, 16);
}

TEST_F(SettingsTest, PortZeroClearsTheChoiceAndOpensComOne) {
  const Settings s = Load("Port=0\r\n");
  EXPECT_EQ(s.port, 0);
  EXPECT_EQ(s.PortToOpen(), 1);
}

TEST_F(SettingsTest, OutOfRangeValuesFallBackOrAreIgnored) {
  Settings s = Load("LiniiAvans=12\r\nCodFormaPlata=9\r\nTratareEroareStare=5\r\n");
  EXPECT_EQ(s.liniiAvans, 0);
  EXPECT_EQ(s.codFormaPlata, 1);
  EXPECT_EQ(s.tratareEroareStare, 0);

  Load(
      "LiniiAvans=4\r\nCodFormaPlata=3\r\nTratareEroareStare=1\r\nModTaiere=1\r\nSintaxa=1\r\n"
      "BaudRate=1\r\nTratareFormaPlata=1\r\n");
  s = Load(
      "LiniiAvans=-1\r\nCodFormaPlata=0\r\nTratareEroareStare=2\r\nModTaiere=2\r\n"
      "Sintaxa=-1\r\nBaudRate=3\r\nTratareFormaPlata=7\r\n");
  EXPECT_EQ(s.liniiAvans, 0);          // falls back
  EXPECT_EQ(s.codFormaPlata, 1);       // falls back
  EXPECT_EQ(s.tratareEroareStare, 1);  // the choices stay as they were
  EXPECT_EQ(s.modTaiere, 1);
  EXPECT_EQ(s.sintaxa, 1);
  EXPECT_EQ(s.baudRate, 1);
  EXPECT_EQ(s.tratareFormaPlata, 1);
}

TEST_F(SettingsTest, TextThatIsNoNumberGivesTheDefault) {
  const Settings s = Load("Port=COM3\r\nLongTimeOut=5s\r\nMarjaZileStergere=\r\nDelay=1.5\r\n");
  EXPECT_EQ(s.port, 1);
  EXPECT_EQ(s.longTimeOut, 5);
  EXPECT_EQ(s.marjaZileStergere, 100);
  EXPECT_EQ(s.delay, 0);
  EXPECT_EQ(Load("Delay=-500\r\n").delay, 0);  // a pause cannot be negative
}

TEST_F(SettingsTest, OpenReceiptChoiceIsAlwaysTwoAndSavedAsTwo) {
  EXPECT_EQ(Load("TratareBonInDerulare=0\r\n").tratareBonInDerulare, 2);
  bench.driver.State().settings.tratareBonInDerulare = 0;  // whatever happened meanwhile
  ASSERT_TRUE(bench.driver.SaveSettings());
  IniFile ini;
  ASSERT_TRUE(ini.Load(bench.driver.SettingsPath()));
  EXPECT_EQ(ini.ReadString("Configurari", "TratareBonInDerulare"), "2");
}

TEST_F(SettingsTest, FlagsAreOnOnlyForUpperCaseDa) {
  EXPECT_FALSE(Load("LogFile=da\r\nHistory=Da\r\n").logFile);
  EXPECT_FALSE(bench.driver.State().settings.history);
  EXPECT_FALSE(Load("LogFile= DA x\r\n").logFile);
  EXPECT_FALSE(FolderExists(bench.Path("Log")));
  EXPECT_TRUE(Load("LogFile=DA\r\n").logFile);
}

TEST_F(SettingsTest, LogAndHistoryFoldersAreCreatedWhenTheirKeysAreOn) {
  Load("LogFile=DA\r\n");
  EXPECT_TRUE(FolderExists(bench.Path("Log")));
  EXPECT_FALSE(FolderExists(bench.Path("History")));
  Load("History=DA\r\n");
  EXPECT_TRUE(FolderExists(bench.Path("History")));
  EXPECT_EQ(bench.driver.State().logFolder, bench.Path("Log/"));
  EXPECT_EQ(bench.driver.State().historyFolder, bench.Path("History/"));
}

TEST_F(SettingsTest, SavingWritesTheNineKeysInOrderAndKeepsEverythingElse) {
  const std::string before =
      "; hand-written notes\r\n"
      "[Porturi]\r\n"
      "COM1=/dev/ttyUSB0\r\n"
      "\r\n"
      "[Configurari]\r\n"
      "Delay=20\r\n"
      "LogFile=DA\r\n"
      "Port=3\r\n"
      "Unknown = kept as is \r\n"
      "\r\n"
      "[ConversieUM]\r\n"
      "BUC=1\r\n";
  bench.WriteSettings(before);
  bench.driver.LoadSettings();
  bench.driver.State().settings.port = 4;
  bench.driver.State().settings.codFormaPlata = 6;
  ASSERT_TRUE(bench.driver.SaveSettings());
  const std::string after = ReadBytes(bench.driver.SettingsPath());
  const std::string expected =
      "; hand-written notes\r\n"
      "[Porturi]\r\n"
      "COM1=/dev/ttyUSB0\r\n"
      "\r\n"
      "[Configurari]\r\n"
      "Delay=20\r\n"
      "LogFile=DA\r\n"
      "Port=4\r\n"
      "Unknown = kept as is \r\n";
  ASSERT_EQ(after.substr(0, expected.size()), expected);
  // The keys the file lacked are added to the section, in their order.
  std::vector<std::string> added;
  IniFile ini;
  ASSERT_TRUE(ini.Load(bench.driver.SettingsPath()));
  for (const auto& [key, value] : ini.SectionValues("Configurari"))
    added.push_back(key + "=" + value);
  EXPECT_EQ(added,
            (std::vector<std::string>{"Delay=20", "LogFile=DA", "Port=4", "Unknown=kept as is",
                                      "BaudRate=0", "ModTaiere=0", "LiniiAvans=0",
                                      "TratareEroareStare=0", "TratareBonInDerulare=2",
                                      "TratareFormaPlata=0", "CodFormaPlata=6", "Sintaxa=0"}));
  EXPECT_NE(after.find("[ConversieUM]\r\nBUC=1\r\n"), std::string::npos);
}

TEST_F(SettingsTest, TheQuietTimeOfFilesWrittenInPlaceIsBoundedAndNeverRewritten) {
  EXPECT_EQ(Load("").pauzaFisierScris, 500);
  EXPECT_EQ(Load("PauzaFisierScris=0\r\n").pauzaFisierScris, 0);
  EXPECT_EQ(Load("PauzaFisierScris=10000\r\n").pauzaFisierScris, 10000);
  for (const char* value : {"10001", "-1", "2s", ""}) {
    EXPECT_EQ(Load(std::string("PauzaFisierScris=") + value + "\r\n").pauzaFisierScris, 500)
        << value;
  }
  // The driver never writes it: a save keeps the line as the shop wrote it, and adds none.
  const std::string written = Configurari("PauzaFisierScris=20000 \r\nPort=2\r\n");
  bench.WriteSettings(written);
  bench.driver.LoadSettings();
  ASSERT_TRUE(bench.driver.SaveSettings());
  EXPECT_EQ(ReadBytes(bench.driver.SettingsPath()).substr(0, written.size()), written);
  Load("Port=2\r\n");
  ASSERT_TRUE(bench.driver.SaveSettings());
  EXPECT_EQ(ReadBytes(bench.driver.SettingsPath()).find("PauzaFisierScris"), std::string::npos);
}

TEST_F(SettingsTest, SavingPicksUpHandEditsMadeSinceTheLoad) {
  bench.WriteSettings(Configurari("Port=2\r\n"));
  bench.driver.LoadSettings();
  bench.WriteSettings(Configurari("Port=2\r\nLogFile=DA\r\n"));
  ASSERT_TRUE(bench.driver.SaveSettings());
  IniFile ini;
  ASSERT_TRUE(ini.Load(bench.driver.SettingsPath()));
  EXPECT_EQ(ini.ReadString("Configurari", "LogFile"), "DA");
}

TEST_F(SettingsTest, AnUnreadableSettingsFileIsReportedAndNeverOverwritten) {
  // A folder where the file should be: it exists but cannot be read as a file.
  ASSERT_TRUE(CreateFolders(bench.driver.SettingsPath()));
  bench.driver.State().settings.port = 9;
  bench.driver.LoadSettings();
  EXPECT_EQ(bench.driver.State().settings.port, 9);
  EXPECT_FALSE(bench.driver.SaveSettings());
  EXPECT_TRUE(FolderExists(bench.driver.SettingsPath()));
  EXPECT_EQ(bench.op.errors.size(), 2u);
}

// The commented sample of examples/ names every key the driver reads, spelt as it reads
// them, and loads as the defaults but for its log, its immediate pickup and its clean-up of
// old files.
TEST_F(SettingsTest, TheSampleSettingsFileSpellsEveryKeyRight) {
  const std::string sample = ReadBytes(std::string(RUVO_SOURCE_DIR) + "/examples/XRUVODRV.INI");
  IniFile ini;
  ini.Parse(sample);
  std::vector<std::string> keys;
  for (const auto& entry : ini.SectionValues("Configurari")) keys.push_back(entry.first);
  EXPECT_EQ(keys, (std::vector<std::string>{"Port",
                                            "BaudRate",
                                            "ModTaiere",
                                            "LiniiAvans",
                                            "LongTimeOut",
                                            "CodFormaPlata",
                                            "LogFile",
                                            "FaraVerificareConexiune",
                                            "History",
                                            "DialogMesajEroare",
                                            "MesajLaListareItem",
                                            "StergereFisierevechi",
                                            "MarjaZileStergere",
                                            "CuratareFolderLucru",
                                            "TratareEroareStare",
                                            "TratareBonInDerulare",
                                            "TratareFormaPlata",
                                            "Sintaxa",
                                            "Delay",
                                            "PreluareImediata",
                                            "PauzaFisierScris"}));
  const Settings s = [&] {
    bench.WriteSettings(sample);
    bench.driver.LoadSettings();
    return bench.driver.State().settings;
  }();
  EXPECT_TRUE(s.logFile);
  EXPECT_TRUE(s.preluareImediata);
  EXPECT_EQ(s.pauzaFisierScris, 500);
  EXPECT_EQ(s.port, 1);
  EXPECT_EQ(s.longTimeOut, 5);
  // The sample keeps Log/ and History/ bounded.
  EXPECT_TRUE(s.stergereFisiereVechi);
  EXPECT_EQ(s.marjaZileStergere, 30);
  EXPECT_FALSE(s.history);
}

}  // namespace
}  // namespace ruvo::testing
