// Whole operations against the simulated ECR in-process, in virtual time: a receipt from
// the first sale to the cut, the non-fiscal receipt, the export and the logo.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Control.h"
#include "Engine.h"
#include "SimSerialPort.h"
#include "ecr/TXruvoLinux.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"

namespace ruvo::test {
namespace {

class SimLinkTest : public ::testing::Test {
 protected:
  SimLinkTest() : engine(clock) {
    link = std::make_unique<TXruvoLinux>(std::make_unique<xruvo_sim::SimSerialPort>(engine, clock),
                                         clock, pump);
  }
  void SetUp() override { ASSERT_TRUE(link->Engine().OpenPort(1)); }
  void Control(const std::string& command) {
    ASSERT_EQ(xruvo_sim::ApplyControlCommand(engine, command), "");
  }
  std::string LastReceived() const {
    return engine.ReceivedCommands().empty() ? std::string() : engine.ReceivedCommands().back();
  }

  VirtualClock clock;
  xruvo_sim::Engine engine;
  NullEventPump pump;
  std::unique_ptr<TXruvoLinux> link;
};

TEST_F(SimLinkTest, ReceiptFromSaleToCutWithTheDuePaidByTheClose) {
  ASSERT_TRUE(link->SetOperator(0, 2, 0, 0)) << link->Engine().LastError();
  ASSERT_TRUE(link->SellItem("PAINE", 1, 3.5, 1, "BUC", 2, 1, false)) << link->Engine().LastError();
  ASSERT_TRUE(link->SellItem("LAPTE", 1, 5.25, 2, "L", 1.5, 1, false, 0.5))
      << link->Engine().LastError();
  ASSERT_TRUE(link->Command3003())
      << link->Engine().LastError();  // the discount goes on the subtotal
  ASSERT_TRUE(link->AdjustPercentKind1("REDUCERE", 10)) << link->Engine().LastError();
  ASSERT_TRUE(link->PrintText3002("1", "MULTUMIM", 1)) << link->Engine().LastError();
  ASSERT_TRUE(link->ReadStatus());
  EXPECT_TRUE(link->StatusFiscalReceiptOpen());

  std::string answer;
  ASSERT_TRUE(link->ReadLastReceiptNumber(answer));
  EXPECT_TRUE(link->ReceiptOpen());
  EXPECT_EQ(link->ReceiptNumberText(), "0001");

  // 7.00 + 7.88 - 0.50 = 14.38, less 10 % = 12.94; 5.00 paid by card leaves 7.94.
  ASSERT_TRUE(link->Payment(6, "CARD", 5)) << link->Engine().LastError();
  EXPECT_EQ(link->Engine().LastAnswer(), "+000000794");
  ASSERT_TRUE(link->CloseReceipt()) << link->Engine().LastError();
  EXPECT_EQ(engine.ReceivedCommands().end()[-2],
            "3007"
            "03"
            "00"
            "00"
            "0000007"
            "94");
  EXPECT_EQ(engine.GetDevice().Receipt().Due(), 0);

  ASSERT_TRUE(link->ReadLastReceiptNumber(answer));
  EXPECT_TRUE(link->ReceiptPaid());
  link->SetLongTimeOut(0);
  ASSERT_TRUE(link->PartialCut(3)) << link->Engine().LastError();
  EXPECT_EQ(engine.GetDevice().LastReceiptNumber(), 1);
  ASSERT_TRUE(link->ReadReceiptState());
  ASSERT_TRUE(link->ReadStatus());
  EXPECT_FALSE(link->StatusFiscalReceiptOpen());
}

TEST_F(SimLinkTest, ReturnLineAndCancel) {
  ASSERT_TRUE(link->SellItem("AMBALAJ", 1, 10, 1, "BUC", 3, 1, false));
  ASSERT_TRUE(link->SellItem("AMBALAJ RETURNABIL", 1, 0.5, 1, "", 1, 1, true));
  EXPECT_TRUE(engine.GetDevice().Receipt().lines.back().storno);
  EXPECT_EQ(engine.GetDevice().Receipt().Total(), 2950);
  ASSERT_TRUE(link->CancelReceipt());
  ASSERT_TRUE(link->PartialCut(0));
  EXPECT_FALSE(engine.GetDevice().Receipt().Open());
}

TEST_F(SimLinkTest, EcrRefusalsBecomeErrorsWithTheirFlags) {
  Control("paper-out");
  EXPECT_FALSE(link->SellItem("PAINE", 1, 1, 1, "BUC", 1, 1, false));
  EXPECT_TRUE(link->Engine().ErrorPaperOut());
  EXPECT_EQ(link->Engine().LastError(), "16;Eroare lipsa hartie \x96 inlocuiti rola de hartie");
  std::string state;
  ASSERT_TRUE(link->ReadPrinterState(state));
  EXPECT_TRUE(link->PrinterStateError());
  Control("paper-out off");
  ASSERT_TRUE(link->ReadPrinterState(state));
  EXPECT_FALSE(link->PrinterStateError());

  Control("z-due");
  EXPECT_FALSE(link->SellItem("PAINE", 1, 1, 1, "BUC", 1, 1, false));
  EXPECT_TRUE(link->Engine().ErrorZReportDue());
  ASSERT_TRUE(link->PrintZReport()) << link->Engine().LastError();
  ASSERT_TRUE(link->SellItem("PAINE", 1, 1, 1, "BUC", 1, 1, false)) << link->Engine().LastError();

  Control("refuse-payment 4");
  EXPECT_FALSE(link->Payment(4, "", 1));
  EXPECT_TRUE(link->Engine().ErrorExtended());
  EXPECT_EQ(link->Engine().LastError().substr(0, 3), "99;");
}

TEST_F(SimLinkTest, NonFiscalReceiptCashAndTexts) {
  ASSERT_TRUE(link->CashInOut("D", 250)) << link->Engine().LastError();
  ASSERT_TRUE(link->CashInOut("R", 0)) << link->Engine().LastError();
  EXPECT_EQ(link->Engine().LastAnswer(), "+000025000");
  ASSERT_TRUE(link->OpenNonFiscalReceipt()) << link->Engine().LastError();
  ASSERT_TRUE(link->PrintNonFiscalText("1", ""));
  ASSERT_TRUE(link->PrintNonFiscalText("B", std::string(72, 'b')));
  ASSERT_TRUE(link->PrintBarcode(1, 1, 3, "123456789012")) << link->Engine().LastError();
  ASSERT_TRUE(link->ReadStatus());
  EXPECT_TRUE(link->StatusNonFiscalReceiptOpen());
  ASSERT_TRUE(link->CloseNonFiscalReceipt()) << link->Engine().LastError();
  EXPECT_FALSE(engine.GetDevice().NonFiscalOpen());
  ASSERT_TRUE(link->SendTwoPartText("SUBTOTAL;12.50 LEI"));
  EXPECT_EQ(engine.GetDevice().DisplayText(), "12.50 LEI" + std::string(31, ' '));
}

TEST_F(SimLinkTest, QueriesAndSettings) {
  std::string series;
  int result = -1;
  ASSERT_TRUE(link->ReadFiscalSeries(series, result));
  EXPECT_EQ(series, "XR0012345678");
  ASSERT_TRUE(link->ReadDailyTotals()) << link->Engine().LastError();
  std::string answer;
  ASSERT_TRUE(link->ReadTotalizer(2, answer)) << link->Engine().LastError();
  EXPECT_EQ(link->TotalizerText().size(), 9u);
  ASSERT_TRUE(link->ReadTotalizers());
  ASSERT_TRUE(link->ReadDocumentState(answer)) << link->Engine().LastError();
  ASSERT_TRUE(link->SetDateTime(15, 1, 26, 10, 30)) << link->Engine().LastError();
  EXPECT_EQ(engine.GetDevice().DeviceTime().hour, 10);
  ASSERT_TRUE(link->Beep(2, 3));
  ASSERT_TRUE(link->ReadJEFreeLines());
  EXPECT_EQ(link->JEFreeLines(), 150000);
}

TEST_F(SimLinkTest, ReportsWithTheirWaits) {
  ASSERT_TRUE(link->PrintXReport()) << link->Engine().LastError();
  ASSERT_TRUE(link->PrintDepartmentReport()) << link->Engine().LastError();
  ASSERT_TRUE(link->PrintZReport()) << link->Engine().LastError();
  // The typed report keeps the ECR busy for 8 s after its ACK: the link polls it.
  ASSERT_TRUE(link->PrintTypedReportA(1)) << link->Engine().LastError();
  ASSERT_TRUE(link->PrintTypedReportB(2)) << link->Engine().LastError();
  EXPECT_FALSE(link->Engine().StatusPollEnabled());
  ASSERT_TRUE(link->PrintMFReportByNumber(1, 1)) << link->Engine().LastError();
  ASSERT_TRUE(link->PrintMFReportByDate(1, 1, 1, 26, 31, 1, 26)) << link->Engine().LastError();
  ASSERT_TRUE(link->PrintMFReportByDate(3, 0, 0, 0, 0, 0, 0)) << link->Engine().LastError();
  ASSERT_TRUE(link->PrintJEReportByDate(1, 1, 26, 31, 1, 26)) << link->Engine().LastError();
  ASSERT_TRUE(link->PrintJEReportByReceipts(15, 1, 26, 1, 9)) << link->Engine().LastError();
  ASSERT_TRUE(link->PrintJEReportByZ(1, 1)) << link->Engine().LastError();
  ASSERT_TRUE(link->PrintJEReceiptsOfZ(1, 1, 9)) << link->Engine().LastError();
  EXPECT_EQ(link->ReportAnswer().substr(0, 6), "Z 0001");
  ASSERT_TRUE(link->StopReport(true)) << link->Engine().LastError();
  EXPECT_FALSE(link->PrintJEReportFromLine(999999999));  // past the journal's end
  EXPECT_EQ(link->Engine().LastError().substr(0, 2), "3;");
}

TEST_F(SimLinkTest, ExportInPiecesAndWholeAfterAnExportLeftOpen) {
  Control("export-87");
  ASSERT_TRUE(link->StartXmlExport("2026", 1, "R")) << link->Engine().LastError();
  EXPECT_EQ(engine.ReceivedCommands().end()[-2], "7408");
  std::string state;
  clock.Advance(10000);
  ASSERT_TRUE(link->ReadDocumentState(state));
  EXPECT_EQ(state.substr(0, 5), "00000");
  ASSERT_TRUE(link->BeginExportTransfer(false)) << link->Engine().LastError();
  std::string hex;
  while (link->ReadExportChunk()) hex += link->Engine().LastAnswer().substr(3);
  EXPECT_FALSE(hex.empty());
  ASSERT_TRUE(link->EndExportTransfer());

  ASSERT_TRUE(link->StartXmlExport("2026", 1, "X", "1", "2")) << link->Engine().LastError();
  clock.Advance(10000);
  ASSERT_TRUE(link->BeginExportTransfer(true)) << link->Engine().LastError();
  ASSERT_TRUE(link->ReadExportData()) << link->Engine().LastError();
  EXPECT_EQ(link->Engine().LengthPrefixedData().substr(0, 2), "PK");
  EXPECT_EQ(static_cast<std::size_t>(link->Engine().AnswerLength()),
            link->Engine().LengthPrefixedData().size());
  ASSERT_TRUE(link->EndExportTransfer());
}

TEST_F(SimLinkTest, LogoUpload) {
  ASSERT_TRUE(link->BeginLogoUpload(3));
  ASSERT_TRUE(link->SendLogoPiece(2, "424D"));
  ASSERT_TRUE(link->SendLogoPiece(1, "FF"));
  ASSERT_TRUE(link->EndLogoUpload()) << link->Engine().LastError();
  EXPECT_EQ(engine.GetDevice().Logo(), "BM\xFF");
}

}  // namespace
}  // namespace ruvo::test
