// Every ECR command once, against the real xruvo_sim program on a pseudo-terminal, through
// the driver's termios port and a real clock.
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "ecr/TXruvoLinux.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/PosixSerialPort.h"
#include "support/ChildProcess.h"

namespace ruvo::test {
namespace {

namespace fs = std::filesystem;

// The simulator in a temporary folder, its pty linked as <dir>/ecr and mapped to COM1 by
// the folder's XRUVODRV.INI.
class SimulatorProcess {
 public:
  SimulatorProcess() {
    char pattern[] = "/tmp/ruvo_commands_XXXXXX";
    if (mkdtemp(pattern) == nullptr) return;
    dir = pattern;
    link = dir + "/ecr";
    settings = dir + "/XRUVODRV.INI";
    std::ofstream(settings) << "[Porturi]\r\nCOM1=" << link << "\r\n";
    const std::string paper = dir + "/paper.txt";
    process.Start({XRUVO_SIM_PATH, "--link", link, "--paper", paper, "--typed-report-ms", "300",
                   "--export-ms", "300", "--fault", "export-87"},
                  "/dev/null", dir + "/sim.err");
  }
  ~SimulatorProcess() {
    process.Stop(SIGTERM);
    if (!dir.empty()) {
      std::error_code ignored;
      fs::remove_all(dir, ignored);
    }
  }
  // The link appears once the simulator serves.
  bool WaitUntilServing() const {
    return ruvo::testing::WaitUntil(
        [&] {
          std::error_code ignored;
          return fs::is_symlink(link, ignored);
        },
        5000);
  }

  ruvo::testing::ChildProcess process;
  std::string dir;
  std::string link;
  std::string settings;
};

class PtyCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.process.Running());
    ASSERT_TRUE(sim.WaitUntilServing());
    ecr =
        std::make_unique<TXruvoLinux>(std::make_unique<PosixSerialPort>(sim.settings), clock, pump);
    ASSERT_TRUE(ecr->Engine().OpenPort(1));
  }
  // Polls "1111" until the export is prepared.
  bool WaitForExport() {
    std::string state;
    for (int k = 0; k < 40; ++k) {
      if (ecr->ReadDocumentState(state) && state.substr(0, 5) == "00000") return true;
      clock.SleepMs(50);
    }
    return false;
  }

  SimulatorProcess sim;
  SystemClock clock;
  NullEventPump pump;
  std::unique_ptr<TXruvoLinux> ecr;
};

#define ECR_OK(call) EXPECT_TRUE(ecr->call) << #call << ": " << ecr->Engine().LastError()

TEST_F(PtyCommandTest, EveryCommandRoundTrips) {
  const auto started = clock.MonotonicMs();
  std::string answer;
  int result = -1;

  // Queries and settings.
  ECR_OK(ProbeStatus());
  ECR_OK(ReadStatus());
  EXPECT_FALSE(ecr->StatusFiscalReceiptOpen());
  EXPECT_FALSE(ecr->StatusNotFiscalized());
  ECR_OK(ReadFiscalSeries(answer, result));
  EXPECT_EQ(answer, "XR0012345678");
  ECR_OK(ReadDailyTotals());
  EXPECT_EQ(ecr->DailyTotalsBlock().size(), 253u);
  ECR_OK(ReadTotalizer(1, answer));
  ECR_OK(ReadTotalizers());
  ECR_OK(ReadDocumentState(answer));
  ECR_OK(ReadLastReceiptNumber(answer));
  ECR_OK(ReadReceiptState());
  ECR_OK(ReadPrinterState(answer));
  EXPECT_FALSE(ecr->PrinterStateError());
  const LocalDateTime now = clock.Now();
  ECR_OK(SetDateTime(now.day, now.month, now.year % 100, now.hour, now.minute));
  ECR_OK(Beep(1, 2));
  ECR_OK(SendTwoPartText("BINE;ATI VENIT"));
  ECR_OK(ReadJEFreeLines());
  EXPECT_EQ(ecr->JEFreeLines(), 150000);
  ECR_OK(Engine().ReadExtendedError());

  // A fiscal receipt.
  ECR_OK(SetOperator(0, 1, 0, 0));
  ECR_OK(SellItem("PAINE", 1, 3.5, 1, "BUC", 2, 1, false, 0.5));
  ECR_OK(AdjustValueKind0("", 0.2));
  ECR_OK(AdjustValueKind1("REDUCERE", 0.1));
  ECR_OK(AdjustPercentKind0("ADAOS", 5));
  ECR_OK(Command3003());
  ECR_OK(AdjustPercentKind1("", 10));
  ECR_OK(SellItem("AMBALAJ RETURNABIL", 1, 0.5, 1, "", 1, 1, true));
  ECR_OK(PrintText3002("1", "TEXT CENTRAT", 1));
  ECR_OK(PrintText3008("A", "TEXT 3008"));
  ECR_OK(PrintText3010("B", "CIF RO1234567"));
  ECR_OK(PrintBarcode(1, 1, 3, "123456789012"));
  ECR_OK(Payment(6, "CARD", 2));
  EXPECT_EQ(ecr->Engine().LastAnswer().substr(0, 1), "+");
  ECR_OK(CloseReceipt());
  ECR_OK(ReadLastReceiptNumber(answer));
  EXPECT_TRUE(ecr->ReceiptPaid());
  ECR_OK(PrintText3012("1", "VA MULTUMIM", 2));
  ECR_OK(PartialCut(2));
  ECR_OK(ReadLastReceiptNumber(answer));
  EXPECT_FALSE(ecr->ReceiptOpen());
  EXPECT_EQ(ecr->ReceiptNumberText(), "0001");

  // A cancelled receipt, the non-fiscal receipt and the drawer.
  ECR_OK(SellItem("LAPTE", 2, 5.25, 2, "L", 1, 1, false));
  ECR_OK(CancelReceipt());
  ECR_OK(CutReceipt(CutSettings{}));
  ECR_OK(CashInOut("D", 100));
  ECR_OK(CashInOut("P", 40.5));
  ECR_OK(CashInOut("R", 0));
  ECR_OK(OpenNonFiscalReceipt());
  ECR_OK(PrintNonFiscalText("1", ""));
  ECR_OK(CloseNonFiscalReceipt());

  // Reports.
  ECR_OK(PrintXReport());
  ECR_OK(PrintDepartmentReport());
  ECR_OK(PrintTypedReportA(1));
  ECR_OK(PrintTypedReportB(2));
  ECR_OK(PrintJEReportByDate(1, 1, 26, 31, 12, 99));
  ECR_OK(PrintJEReportByReceipts(now.day, now.month, now.year % 100, 1, 9));
  ECR_OK(PrintJEReportByZ(1, 1));
  ECR_OK(PrintJEReportFromLine(1));
  ECR_OK(PrintJEReceiptsOfZ(1, 1, 9));
  EXPECT_EQ(ecr->ReportAnswer().substr(0, 6), "Z 0001");
  ECR_OK(StopReport());
  ECR_OK(StopReport(true));
  ECR_OK(PrintZReport());
  ECR_OK(PrintMFReportByNumber(1, 1));
  ECR_OK(PrintMFReportByDate(1, 1, 1, 26, 31, 12, 99));
  ECR_OK(PrintMFReportByDate(2, 1, 1, 26, 31, 12, 99));
  ECR_OK(PrintMFReportByDate(3, 0, 0, 0, 0, 0, 0));
  // The ECR's own refusal comes back as its code.
  EXPECT_FALSE(ecr->PrintMFReportByNumber(2, 1));
  EXPECT_EQ(ecr->Engine().LastError(), "3;Valoare invalida");

  // The export: refused once with 87 (an export left open), then retried.
  ECR_OK(StartXmlExport("2026", 1, "R"));
  int requests = 0;
  for (const std::string& line : ecr->Engine().ExchangeLog()) {
    if (line.find("-Calculator : 6416202601R") != std::string::npos) ++requests;
  }
  EXPECT_EQ(requests, 2);
  ASSERT_TRUE(WaitForExport());
  ECR_OK(BeginExportTransfer(false));
  std::string hex;
  while (ecr->ReadExportChunk()) hex += ecr->Engine().LastAnswer().substr(3);
  EXPECT_GT(hex.size(), 20u);
  ECR_OK(EndExportTransfer());
  ECR_OK(StartXmlExport("2026", 1, "X", "1", "1"));
  ASSERT_TRUE(WaitForExport());
  ECR_OK(BeginExportTransfer(true));
  ECR_OK(ReadExportData());
  EXPECT_EQ(ecr->Engine().LengthPrefixedData().substr(0, 2), "PK");
  ECR_OK(EndExportTransfer());

  // The logo.
  ECR_OK(BeginLogoUpload(4));
  ECR_OK(SendLogoPiece(2, "424D"));
  ECR_OK(SendLogoPiece(2, "0102"));
  ECR_OK(EndLogoUpload());

  ecr->Engine().ClosePort();
  EXPECT_LT(clock.MonotonicMs() - started, 10000);
}

}  // namespace
}  // namespace ruvo::test
