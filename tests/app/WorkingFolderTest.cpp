// Where the driver works when installed, unpacked or built, and whether its settings name
// the ECR's port (the service waits until they do).
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "app/PortCheck.h"
#include "app/WorkingFolder.h"
#include "platform/Files.h"
#include "platform/TempFolder.h"
#include "support/ChildProcess.h"
#include "support/FileBytes.h"

namespace ruvo::testing {
namespace {

TEST(WorkingFolder, AnInstalledDriverWorksInTheUsersDataFolderNeverBesideTheProgram) {
  TempFolder tree;
  const std::string bin = tree / "bin";
  ASSERT_TRUE(CreateFolders(bin));
  WorkingFolderInputs in{"", bin, "/home/casier", ""};
  EXPECT_EQ(ChooseWorkingFolder(in), "/home/casier/.local/share/ruvo-drv");
  in.xdgDataHome = "/srv/data";
  EXPECT_EQ(ChooseWorkingFolder(in), "/srv/data/ruvo-drv");
  in.xdgDataHome = "relative/data";  // not absolute: ignored
  EXPECT_EQ(ChooseWorkingFolder(in), "/home/casier/.local/share/ruvo-drv");
  in = {"", bin, "", ""};
  EXPECT_EQ(ChooseWorkingFolder(in), std::nullopt) << "no home, no folder: --dir is needed";

  // A build tree, or a folder set up by hand with its settings, keeps its files beside
  // the program.
  WriteBytes(bin + "/XRUVODRV.INI", "");
  EXPECT_EQ(ChooseWorkingFolder({"", bin + "/", "/home/casier", ""}), bin + "/");
  const std::string build = tree / "build";
  ASSERT_TRUE(CreateFolders(build));
  WriteBytes(build + "/CMakeCache.txt", "");
  EXPECT_EQ(ChooseWorkingFolder({"", build, "/home/casier", ""}), build);
}

TEST(WorkingFolder, DirWinsAndATildeIsTheHomeFolder) {
  const WorkingFolderInputs base{"", "/usr/bin/", "/home/casier", "/srv/data"};
  WorkingFolderInputs in = base;
  in.dir = "/var/lib/ruvo-drv";
  EXPECT_EQ(ChooseWorkingFolder(in), "/var/lib/ruvo-drv");
  in.dir = "~/.local/share/ruvo-drv";
  EXPECT_EQ(ChooseWorkingFolder(in), "/home/casier/.local/share/ruvo-drv");
  in.dir = "~";
  EXPECT_EQ(ChooseWorkingFolder(in), "/home/casier/");
  in.dir = "~other/x";  // another user's home is not guessed
  EXPECT_EQ(ChooseWorkingFolder(in), "~other/x");
  in.dir = "~/x";
  in.home = "";
  EXPECT_EQ(ChooseWorkingFolder(in), std::nullopt);
}

TEST(WorkingFolder, OnlyTheUsersOwnFolderIsMadeAMistypedDirIsRefused) {
  EXPECT_TRUE(MadeWhenMissing({"", "/usr/bin/", "/home/casier", ""}));
  EXPECT_TRUE(MadeWhenMissing({"~/.local/share/ruvo-drv", "/usr/bin/", "/home/casier", ""}));
  EXPECT_FALSE(MadeWhenMissing({"/var/lib/ruvo-drv/tiil2", "/usr/bin/", "/home/casier", ""}));

  TempFolder tree;
  std::string error;
  EXPECT_EQ(PrepareWorkingFolder(tree / "typo", false, error), "");
  EXPECT_FALSE(FolderExists(tree / "typo"));
  const std::string made = PrepareWorkingFolder(tree / "a/b/ruvo-drv", true, error);
  EXPECT_EQ(made, tree / "a/b/ruvo-drv");
  EXPECT_TRUE(FolderExists(made));
  WriteBytes(tree / "file", "x");
  EXPECT_EQ(PrepareWorkingFolder(tree / "file", true, error), "");
  EXPECT_NE(error.find(tree / "file"), std::string::npos);
}

// The program copied where a package puts it: nothing beside it, so it works in the user's
// data folder, made on the first start; and it tells its version.
TEST(WorkingFolder, AnInstalledCopyOfTheProgramMakesAndUsesTheDataFolder) {
  TempFolder root;
  ASSERT_TRUE(CreateFolders(root / "usr/bin"));
  const std::string program = root / "usr/bin/ruvo_drv";
  std::filesystem::copy_file(RUVO_DRV_PATH, program);
  const std::vector<std::string> environment = {"HOME=" + root.Path(),
                                                "XDG_DATA_HOME=" + root / "data"};
  ChildProcess version;
  ASSERT_TRUE(version.Start({program, "--version"}, root / "version.out", root / "version.err",
                            environment));
  EXPECT_EQ(version.Wait(), 0);
  EXPECT_EQ(ReadBytes(root / "version.out"), "Ruvo_Drv 2.3.3.0\n");

  ChildProcess check;
  ASSERT_TRUE(
      check.Start({program, "--check-port"}, root / "check.out", root / "check.err", environment));
  EXPECT_EQ(check.Wait(), 1) << "no settings yet, so no port";
  EXPECT_TRUE(FolderExists(root / "data/ruvo-drv"));
  EXPECT_FALSE(FileExists(root / "usr/bin/RUVODRV.INFO"));
  EXPECT_NE(ReadBytes(root / "check.err").find(root / "data/ruvo-drv/XRUVODRV.INI"),
            std::string::npos);
}

TEST(PortCheck, TheSettingsMustMapThePortTheyChoose) {
  TempFolder folder;
  const std::string ini = folder / "XRUVODRV.INI";
  std::string message;
  EXPECT_FALSE(SettingsNamePort(ini, message)) << "no settings file";

  WriteBytes(ini, "[Porturi]\r\n;COM1=/dev/serial/by-id/usb-x\r\n[Configurari]\r\nPort=1\r\n");
  EXPECT_FALSE(SettingsNamePort(ini, message));
  EXPECT_NE(message.find("COM1"), std::string::npos);

  WriteBytes(ini, "[Porturi]\r\nCOM1=/dev/ttyUSB0\r\n[Configurari]\r\nPort=2\r\n");
  EXPECT_FALSE(SettingsNamePort(ini, message)) << "COM2 is chosen, only COM1 is mapped";

  WriteBytes(ini,
             "[Porturi]\r\nCOM2=/dev/serial/by-id/usb-FTDI-if00-port0\r\n"
             "[Configurari]\r\nPort=2\r\n");
  EXPECT_TRUE(SettingsNamePort(ini, message));
  EXPECT_EQ(message, "COM2=/dev/serial/by-id/usb-FTDI-if00-port0");

  // Port 0 connects to COM1.
  WriteBytes(ini, "[Porturi]\r\nCOM1=/dev/xruvo\r\n[Configurari]\r\nPort=0\r\n");
  EXPECT_TRUE(SettingsNamePort(ini, message));
}

TEST(PortCheck, ADeviceServerIsNamedByAWellFormedAddressAndTriedOnce) {
  TempFolder folder;
  const std::string ini = folder / "XRUVODRV.INI";
  std::string message;
  WriteBytes(ini, "[Porturi]\r\nCOM1=rfc2217://ecr-box\r\n[Configurari]\r\nPort=1\r\n");
  EXPECT_FALSE(SettingsNamePort(ini, message));
  EXPECT_EQ(message,
            "COM1=rfc2217://ecr-box is no network address: write tcp://HOST:PORT or "
            "rfc2217://HOST:PORT");

  // Named, though nothing answers there now: the service starts and waits for its ECR.
  WriteBytes(ini, "[Porturi]\r\nCOM1=TCP://127.0.0.1:1\r\n[Configurari]\r\nPort=1\r\n");
  EXPECT_TRUE(SettingsNamePort(ini, message));
  EXPECT_EQ(message.rfind("COM1=tcp://127.0.0.1:1\nCOM1 (tcp://127.0.0.1:1): the device server "
                          "refused the connection",
                          0),
            0u)
      << message;
}

}  // namespace
}  // namespace ruvo::testing
