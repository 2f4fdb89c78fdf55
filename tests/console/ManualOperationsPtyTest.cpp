// Manual operations against the real xruvo_sim program on a pseudo-terminal, through the
// driver's termios port, its real clock and its real log files.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "console/ManualOperations.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/Files.h"
#include "platform/PosixSerialPort.h"
#include "support/ChildProcess.h"
#include "support/FileBytes.h"
#include "support/RecordingOperator.h"

namespace ruvo {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

class ManualOperationsPtyTest : public ::testing::Test {
 protected:
  ManualOperationsPtyTest() {
    char pattern[] = "/tmp/ruvo_console_XXXXXX";
    if (mkdtemp(pattern) != nullptr) dir = pattern;
    state.workingFolder = dir + "/";
    state.logFolder = state.workingFolder + "Log/";
    state.historyFolder = state.workingFolder + "History/";
    state.settings.logFile = true;
    state.settings.history = true;
    state.settings.longTimeOut = 10;
    std::ofstream(SettingsPath()) << "[Porturi]\r\nCOM1=" << dir << "/ecr\r\n";
    ports = std::make_unique<PosixPortFactory>(SettingsPath());
  }
  ~ManualOperationsPtyTest() override {
    sim.Stop(SIGTERM);
    std::error_code ignored;
    if (!dir.empty()) fs::remove_all(dir, ignored);
  }
  void SetUp() override {
    ASSERT_FALSE(dir.empty());
    ASSERT_TRUE(sim.Start({XRUVO_SIM_PATH, "--link", dir + "/ecr", "--paper", dir + "/paper.txt"},
                          "/dev/null", dir + "/sim.err"));
    ASSERT_TRUE(testing::WaitUntil(
        [&] {
          std::error_code ignored;
          return fs::is_symlink(dir + "/ecr", ignored);
        },
        5000));
  }

  std::string SettingsPath() const { return dir + "/XRUVODRV.INI"; }
  ConsoleContext Context() { return ConsoleContext{DriverContext{clock, pump, op, *ports}, state}; }

  // The command texts of the one log that matches mask in folder (not the lines with the
  // frame's bytes), which is then removed so that the next operation's log cannot be
  // mistaken for it.
  Texts TakeLoggedCommands(const std::string& folder, const std::string& mask) {
    const Texts names = ListMatching(folder, mask);
    if (names.size() != 1) return {"(" + std::to_string(names.size()) + " logs)"};
    Texts commands;
    for (const std::string& line : ReadLines(JoinPath(folder, names[0])).value_or(Texts{})) {
      const std::size_t at = line.find("-Calculator : ");
      if (at == std::string::npos) continue;
      const std::string text = line.substr(at + 14);
      if (text.find(' ') == std::string::npos) commands.push_back(text);
    }
    DeleteFile(JoinPath(folder, names[0]));
    return commands;
  }

  std::string dir;
  testing::ChildProcess sim;
  SystemClock clock;
  NullEventPump pump;
  testing::RecordingOperator op;
  std::unique_ptr<PosixPortFactory> ports;
  DriverState state;
};

TEST_F(ManualOperationsPtyTest, ReceiptCancelAndClose) {
  EXPECT_FALSE(RunReceiptCancel(Context()));
  EXPECT_EQ(op.BoxTexts(),
            Texts{"Operatie anulare nereusita  !\r8030;Nu exista nici un bon in derulare "});
  EXPECT_FALSE(FileExists(state.workingFolder + "ERROR.TXT"));
  EXPECT_EQ(ListMatching(state.historyFolder, "Log_ANULARE_*.TXT"),
            ListMatching(state.logFolder, "Log_ANULARE_*.TXT"));
  EXPECT_EQ(TakeLoggedCommands(state.logFolder, "Log_ANULARE_*"), Texts{"1215"});

  // A paid receipt left open by somebody else is finished by "Inchidere bon".
  {
    TXruvoLinux link(ports->MakePort(), clock, pump);
    ASSERT_TRUE(link.Engine().OpenPort(1));
    ASSERT_TRUE(link.SellItem("PAINE", 1, 2.5, 1, "BUC", 1, 1, false));
    ASSERT_TRUE(link.Payment(1, "", 2.5));
  }
  EXPECT_TRUE(RunReceiptClose(Context()));
  EXPECT_EQ(TakeLoggedCommands(state.logFolder, "Log_INCHIDEREBON_*"), (Texts{"1012", "30140"}));
  EXPECT_EQ(op.boxes.size(), 1u);
}

TEST_F(ManualOperationsPtyTest, ReportsAndCash) {
  EXPECT_TRUE(RunZReport(Context()));
  EXPECT_EQ(TakeLoggedCommands(state.logFolder, "Log_RapZ_*"), (Texts{"1215", "2002"}));

  MfReportRequest mf;
  mf.startNumber = "7";
  mf.endNumber = "7";
  RunMfReport(Context(), mf);
  EXPECT_EQ(TakeLoggedCommands(state.workingFolder, "Log_RapMF_*"), Texts{"500100070007"});
  mf.mode = MfReportMode::ByPeriod;
  mf.detail = MfReportDetail::Summary;
  mf.startDate = "01.03.26";
  mf.endDate = "31.03.26";
  RunMfReport(Context(), mf);
  EXPECT_EQ(TakeLoggedCommands(state.workingFolder, "Log_RapMF_*"), Texts{"5003010326310326"});

  CashRequest cash;
  cash.amountText = "150,50";
  cash.decimalSeparator = ',';
  EXPECT_TRUE(RunCashInOut(Context(), cash));
  EXPECT_EQ(TakeLoggedCommands(state.workingFolder, "Log_InOutNumerar_*"), Texts{"7106D000015050"});
  cash.operation = CashOperation::CashOut;
  cash.amountText = "20";
  EXPECT_TRUE(RunCashInOut(Context(), cash));
  EXPECT_EQ(TakeLoggedCommands(state.workingFolder, "Log_InOutNumerar_*"), Texts{"7106P000002000"});
  EXPECT_TRUE(op.boxes.empty()) << op.boxes[0].text;
}

TEST_F(ManualOperationsPtyTest, PortThatIsNotMappedIsTold) {
  state.settings.port = 2;
  EXPECT_FALSE(RunXReport(Context()));
  EXPECT_EQ(op.BoxTexts(),
            Texts{"Nu pot deschide portul serial !\r8001;Eroare la deschiderea portului serial"});
  EXPECT_EQ(TakeLoggedCommands(state.logFolder, "Log_RapX_*"), Texts{});
}

}  // namespace
}  // namespace ruvo
