// What stands in the working folder that the driver did not put there: links in the place
// of its own files, entries that are no files, temporary files of a killed run, and
// receipt files that cannot be run as they are.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "DriverRig.h"
#include "E2eFiles.h"
#include "platform/Files.h"

namespace ruvo::e2e {
namespace {

bool IsLink(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

TEST(LinksEndToEnd, NeitherFollowedNorWrittenThroughAndLeftoversRemovedAtStart) {
  DriverRig rig;
  ruvo::testing::TempFolder elsewhere;
  const std::string secret = elsewhere / "passwd";
  const std::string sale = elsewhere / "sale.txt";
  const std::string otherSettings = elsewhere / "settings.ini";
  WriteBytes(secret, "root:x:0:0:root:/root:/bin/bash\n");
  WriteBytes(sale, ReceiptText({"1;PAINE ALBA;BUC;1;1;250;100000", "5;250;1"}));
  WriteBytes(otherSettings, "[Configurari]\r\nLogFile=NU\r\n");
  // Temporary files of a driver killed while writing.
  ASSERT_TRUE(CreateFolders(rig.PathOf("History")));
  for (const char* leftover : {".~tmp-4242-0-ERROR.TXT.part", "History/.~tmp-4242-1-x.part"}) {
    WriteBytes(rig.PathOf(leftover), "half");
  }

  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  EXPECT_FALSE(PathExists(rig.PathOf(".~tmp-4242-0-ERROR.TXT.part")));
  EXPECT_FALSE(PathExists(rig.PathOf("History/.~tmp-4242-1-x.part")));

  for (const char* name : {"ERROR.TXT", "RUVODRV.INFO"}) {
    ASSERT_EQ(unlink(rig.PathOf(name).c_str()) == 0 || errno == ENOENT, true) << name;
    ASSERT_EQ(symlink(secret.c_str(), rig.PathOf(name).c_str()), 0) << name;
  }
  ASSERT_EQ(symlink(sale.c_str(), rig.PathOf("ONLINE.TXT").c_str()), 0);

  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT");
  ASSERT_TRUE(response) << rig.DriverMessages();
  EXPECT_EQ(*response, "1 ERROR\r\nNu pot deschide fisierului ONLINE.TXT\r\n");
  EXPECT_FALSE(IsLink(rig.PathOf("ERROR.TXT")));
  EXPECT_EQ(rig.Ecr().Paper(), "");

  // A real receipt after it runs as usual.
  EXPECT_EQ(rig.Run("ONLINE.TXT", {"1;LAPTE UHT;L;1;2;675;100000", "5;675;1"}),
            (std::vector<std::string>{"0 OK", "BON FISCAL NR. 0001"}));

  // Settings kept elsewhere: at its close the driver saves its settings.
  ASSERT_EQ(unlink(rig.PathOf("XRUVODRV.INI").c_str()), 0);
  ASSERT_EQ(symlink(otherSettings.c_str(), rig.PathOf("XRUVODRV.INI").c_str()), 0);
  EXPECT_EQ(rig.StopDriver(), 0) << rig.DriverMessages();
  EXPECT_EQ(rig.Ecr().Stop(), 0) << rig.Ecr().Messages();
  // The status file took the link's place; the settings link could not be read, so the
  // driver saved nothing through it.
  EXPECT_FALSE(IsLink(rig.PathOf("RUVODRV.INFO")));
  EXPECT_EQ(rig.Status("Stare"), "DRIVER INCHIS");
  EXPECT_TRUE(IsLink(rig.PathOf("XRUVODRV.INI")));
  EXPECT_EQ(ReadBytes(otherSettings), "[Configurari]\r\nLogFile=NU\r\n");
  EXPECT_EQ(ReadBytes(secret), "root:x:0:0:root:/root:/bin/bash\n");
  EXPECT_EQ(ReadBytes(sale), ReceiptText({"1;PAINE ALBA;BUC;1;1;250;100000", "5;250;1"}));
}

using UnclosableFilesTest = DriverTest;

TEST_F(UnclosableFilesTest, AStandAloneFirstLineWithCompanyAndFilesWithNothingToDoPrintNothing) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  EXPECT_EQ(rig.Run("ONLINE.TXT", {"24", "1;PAINE ALBA;BUC;1;1;250;100000", "5;250;1"}),
            (std::vector<std::string>{
                "1 ERROR",
                "8038;Comanda de citire serie fiscala nu poate fi insotita de alte comenzi24"}));
  EXPECT_EQ(rig.Run("ONLINE.TXT", {"0", "1;PAINE ALBA;BUC;1;1;250;100000", "5;250;1"}),
            (std::vector<std::string>{
                "1 ERROR",
                "8027;Comanda de finalizare bon nu poate fi insotita de alte comenzi0"}));
  for (const std::vector<std::string>& nothing :
       {std::vector<std::string>{"", "", ""}, std::vector<std::string>{"COM1"}}) {
    EXPECT_EQ(rig.Run("ONLINE.TXT", nothing),
              (std::vector<std::string>{"1 ERROR", "8005;Fisierul de intrare nu contine date"}));
  }
  EXPECT_EQ(rig.Ecr().Paper(), "");
}

}  // namespace
}  // namespace ruvo::e2e
