// The command texts as they go on the line, the repeats, the answer-shape checks and the
// arguments refused before anything is sent, against a scripted ECR.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "LinkFixture.h"
#include "ecr/TextLine.h"
#include "platform/CalendarDate.h"

namespace ruvo::test {
namespace {

class CommandTest : public LinkTest {
 protected:
  // The command texts of the frames written so far.
  std::vector<std::string> Sent() const {
    std::vector<std::string> texts;
    for (const std::string& frame : port->written)
      texts.push_back(frame.substr(4, frame.size() - 7));
    return texts;
  }
  std::string LastSent() const {
    const auto texts = Sent();
    return texts.empty() ? std::string() : texts.back();
  }
  void Ok(const std::string& data = std::string()) { port->QueueAnswer(Answer(data)); }
  void ExpectNothingSentOrLogged() const {
    EXPECT_TRUE(port->written.empty());
    EXPECT_TRUE(link->Engine().ExchangeLog().empty());
  }
};

using Texts = std::vector<std::string>;

// --- Field layouts ---------------------------------------------------------------------

TEST_F(CommandTest, PaymentExchangesTypesOneAndThreeAndLogsThePrinterResult) {
  Ok("+000000000");
  ASSERT_TRUE(link->Payment(1, "CARD", 12.345));
  EXPECT_EQ(LastSent(),
            "3007"
            "03"
            "00"
            "04"
            "CARD"
            "0000012"
            "35");
  EXPECT_EQ(link->Engine().ExchangeLog().back(), "14:03:07:135-Imprimanta : 0");
  EXPECT_EQ(link->Engine().LastAnswer(), "+000000000");
  Ok();
  ASSERT_TRUE(link->Payment(2, "CARD", 12.345));
  EXPECT_EQ(LastSent(),
            "3007"
            "02"
            "00"
            "04"
            "CARD"
            "0000012"
            "35");
  Ok();
  ASSERT_TRUE(link->Payment(3, "", 1));
  EXPECT_EQ(LastSent(),
            "3007"
            "01"
            "00"
            "00"
            "0000001"
            "00");
}

TEST_F(CommandTest, SaleLayoutWithPaddedNameBlankLedUnitAndFollowUp) {
  Ok();
  Ok();
  ASSERT_TRUE(link->SellItem("AB", 7, 12.5, 1, "BUC", 1.5, 3, false, 0.75));
  EXPECT_EQ(Sent(), (Texts{"33021"
                           "007"
                           "0000012"
                           "50"
                           "01"
                           "03"
                           " AB"
                           "04"
                           " BUC"
                           "0001"
                           "50000"
                           "0003",
                           "3301C"
                           "000000"
                           "000"
                           "000"
                           "22" +
                               std::string(22, ' ') +
                               "0000000"
                               "75"
                               "0"}));
  Ok();
  ASSERT_TRUE(link->SellItem("STORNO PLATA AVANS", 1, 10, 2, "", 1, 1, true));
  EXPECT_EQ(Sent().size(), 3u);  // no follow-up for a zero amount
  EXPECT_EQ(LastSent(),
            "33024"
            "001"
            "0000010"
            "00"
            "02"
            "18"
            "STORNO PLATA AVANS"
            "01"
            " "
            "0001"
            "00000"
            "0001");
}

TEST_F(CommandTest, FollowUpDecidesTheResultOfTheSale) {
  Ok();
  port->QueueAnswer(ErrorAnswer("23"));
  EXPECT_FALSE(link->SellItem("PAINE", 1, 1, 1, "BUC", 1, 1, false, -2.5));
  EXPECT_EQ(LastSent(),
            "3301C"
            "000000"
            "000"
            "000"
            "22" +
                std::string(22, ' ') +
                "00000-2"
                "-50"
                "0");
  EXPECT_EQ(link->Engine().LastError().substr(0, 3), "23;");
  // A refused sale sends no follow-up.
  port->QueueAnswer(ErrorAnswer("16"));
  EXPECT_FALSE(link->SellItem("PAINE", 1, 1, 1, "BUC", 1, 1, false, 2));
  EXPECT_EQ(Sent().size(), 3u);
  EXPECT_TRUE(link->Engine().ErrorPaperOut());
}

TEST_F(CommandTest, OperatorChangeSendsTwentyTwoBlanks) {
  Ok();
  ASSERT_TRUE(link->SetOperator(0, 5, 0, 0));
  EXPECT_EQ(LastSent(),
            "3301O"
            "000000"
            "000"
            "005"
            "22" +
                std::string(22, ' ') +
                "0000000"
                "00"
                "0");
  Ok();
  Ok();
  ASSERT_TRUE(link->SetOperator(0, 5, 0, 0, 1.25));
  EXPECT_EQ(Sent().size(), 3u);
}

TEST_F(CommandTest, AdjustmentsTrimAndPadTheirLabel) {
  for (int k = 0; k < 5; ++k) Ok();
  ASSERT_TRUE(link->AdjustValueKind0("IGNORED", 1.5));
  ASSERT_TRUE(link->AdjustValueKind1("  REDUCERE ", 1.5));
  ASSERT_TRUE(link->AdjustPercentKind0("", 10));
  ASSERT_TRUE(link->AdjustPercentKind1("   ", 12.5));
  ASSERT_TRUE(link->AdjustPercentKind1(std::string(25, 'X'), 100));
  EXPECT_EQ(Sent(), (Texts{"33022"
                           "001"
                           "0000001"
                           "50"
                           "00"
                           "00",
                           "33023"
                           "001"
                           "0000001"
                           "50"
                           "00"
                           "22"
                           "REDUCERE" +
                               std::string(14, ' '),
                           "3302B"
                           "001"
                           "0000010"
                           "00"
                           "00"
                           "00",
                           "3302C"
                           "001"
                           "0000012"
                           "50"
                           "00"
                           "00",
                           "3302C"
                           "001"
                           "0000100"
                           "00"
                           "00"
                           "25" +
                               std::string(25, 'X')}));
}

TEST_F(CommandTest, CutsTextsAndSmallCommands) {
  for (int k = 0; k < 12; ++k) Ok();
  link->SetLongTimeOut(7);
  ASSERT_TRUE(link->PartialCut(12));
  EXPECT_EQ(link->Engine().TimeOutMs(), 7000);
  ASSERT_TRUE(link->PartialCut(9));
  ASSERT_TRUE(link->PartialCut(-1));
  ASSERT_TRUE(link->CutReceipt(CutSettings{}));
  ASSERT_TRUE(link->SendTwoPartText("A;B"));
  ASSERT_TRUE(link->SendTwoPartText("NO SEPARATOR\rHERE;X" + std::string(50, 'Y')));
  ASSERT_TRUE(link->PrintNonFiscalText("1", ""));
  EXPECT_EQ(link->Engine().TimeOutMs(), 10000);
  ASSERT_TRUE(link->CashInOut("D", 100.5));
  ASSERT_TRUE(link->CashInOut("R", 100.5));
  ASSERT_TRUE(link->OpenNonFiscalReceipt());
  ASSERT_TRUE(link->Beep(3, 6));
  ASSERT_TRUE(link->PrintBarcode(2, 1, 12, "5941234567890"));
  EXPECT_EQ(Sent(), (Texts{"30140", "30149", "30140", "3015",
                           "7007"
                           "B" +
                               std::string(39, ' '),
                           "7007"
                           "X" +
                               std::string(39, 'Y'),
                           "4003"
                           "1"
                           "01"
                           " ",
                           "7106"
                           "D"
                           "0000100"
                           "50",
                           "7106"
                           "R",
                           "40011"
                           "0"
                           "000000000",
                           "311636",
                           "3023"
                           "02"
                           "1"
                           "12"
                           "013"
                           "5941234567890"}));
}

TEST_F(CommandTest, SendTwoPartTextTurnsCarriageReturnsIntoBlanks) {
  Ok();
  ASSERT_TRUE(link->SendTwoPartText("TOTAL\rDE PLATA"));
  EXPECT_EQ(LastSent(),
            "7007"
            "TOTAL DE PLATA" +
                std::string(26, ' '));
}

TEST_F(CommandTest, ReportTextsAndTimeOuts) {
  for (int k = 0; k < 11; ++k) Ok();
  ASSERT_TRUE(link->PrintZReport());
  EXPECT_EQ(link->Engine().TimeOutMs(), 180000);
  ASSERT_TRUE(link->PrintMFReportByDate(3, 31, 2, 24, 0, 0, 0));  // no date is looked at
  ASSERT_TRUE(link->PrintMFReportByDate(1, 1, 2, 24, 29, 2, 24));
  ASSERT_TRUE(link->PrintMFReportByDate(2, 1, 2, 24, 28, 2, 23));
  ASSERT_TRUE(link->PrintMFReportByNumber(1, 12345));
  ASSERT_TRUE(link->PrintJEReportByDate(1, 1, 26, 31, 1, 26));
  ASSERT_TRUE(link->PrintJEReportByReceipts(15, 1, 26, 1, 20));
  ASSERT_TRUE(link->PrintJEReportByZ(3, 4));
  ASSERT_TRUE(link->PrintJEReportFromLine(123456789012LL));
  ASSERT_TRUE(link->StopReport(true));
  EXPECT_EQ(link->Engine().TimeOutMs(), 30000);
  ASSERT_TRUE(link->StopReport());
  EXPECT_EQ(link->Engine().TimeOutMs(), 5000);
  EXPECT_EQ(Sent(), (Texts{"2002", "5004", "5002010224290224", "5003010224280223", "5001000112345",
                           "8001010126310126", "800215012600010020", "800300030004",
                           "8004123456789012", "5005", "5005"}));
}

TEST_F(CommandTest, ExportAndLogoTexts) {
  for (int k = 0; k < 9; ++k) Ok();
  ASSERT_TRUE(link->StartXmlExport("2026", 3, "R"));
  ASSERT_TRUE(link->StartXmlExport("2026", 12, "X", "5", ""));
  ASSERT_TRUE(link->StartXmlExport("2026", 1, "X", "1", "12345"));
  ASSERT_TRUE(link->BeginExportTransfer(true));
  ASSERT_TRUE(link->BeginExportTransfer(false));
  ASSERT_TRUE(link->ReadExportChunk());
  ASSERT_TRUE(link->BeginLogoUpload(1234));
  ASSERT_TRUE(link->SendLogoPiece(2, "0AFF"));
  ASSERT_TRUE(link->EndLogoUpload());
  EXPECT_EQ(Sent(), (Texts{"641620260"
                           "3R",
                           "6416202612X"
                           "0005"
                           "0000",
                           "641620260"
                           "1X"
                           "0001"
                           "12345",
                           "74000701", "74000401", "7403060", "9100001234", "9101020AFF", "9102"}));
}

// --- Text lines --------------------------------------------------------------------------

TEST(TextLine, FontAndLengthRules) {
  EXPECT_EQ(TextLineError("1", std::string(44, 'x')), 0);
  EXPECT_EQ(TextLineError("1", std::string(45, 'x')), 8004);
  EXPECT_EQ(TextLineError("5", std::string(22, 'x')), 0);
  EXPECT_EQ(TextLineError("5", std::string(23, 'x')), 8004);
  EXPECT_EQ(TextLineError("A", std::string(45, 'x')), 8004);
  EXPECT_EQ(TextLineError("B", std::string(72, 'x')), 0);
  EXPECT_EQ(TextLineError("D", std::string(73, 'x')), 8004);
  EXPECT_EQ(TextLineError("01", ""), 8004);  // passes the font rule only
  EXPECT_EQ(TextLineError("+1", ""), 8004);
  EXPECT_EQ(TextLineError("E", ""), 8003);
  EXPECT_EQ(TextLineError("a", ""), 8003);
  EXPECT_EQ(TextLineError("7", ""), 8003);
  EXPECT_EQ(TextLineError("0", ""), 8003);
  EXPECT_EQ(TextLineError("", ""), 8003);
  EXPECT_EQ(TextLineError("AB", ""), 8003);
}

TEST(TextLine, AlignText) {
  EXPECT_EQ(AlignText("3", std::string(10, 'x'), 1), std::string(16, ' ') + std::string(10, 'x'));
  EXPECT_EQ(AlignText("1", std::string(40, 'x'), 2), std::string(40, 'x'));
  EXPECT_EQ(AlignText("1", "ABC", 2), std::string(29, ' ') + "ABC");
  EXPECT_EQ(AlignText("2", std::string(31, 'x'), 1), std::string(31, 'x'));  // gap 0
  EXPECT_EQ(AlignText("6", std::string(40, 'x'), 1), std::string(40, 'x'));
  EXPECT_EQ(AlignText("A", "ABC", 2), "ABC");
  EXPECT_EQ(AlignText("1", "ABC", 0), "ABC");
  EXPECT_EQ(AlignText("1", "ABC", 3), "ABC");
  EXPECT_EQ(AlignText("1", "", 1), std::string(16, ' '));
}

TEST_F(CommandTest, TextLineCommandsAlignAfterTheCheck) {
  for (int k = 0; k < 4; ++k) Ok();
  ASSERT_TRUE(link->PrintText3002("3", "0123456789", 1));
  ASSERT_TRUE(link->PrintText3012("1", "ABC", 2));
  ASSERT_TRUE(link->PrintText3008("B", std::string(72, 'b')));
  ASSERT_TRUE(link->PrintText3010("5", "X"));
  EXPECT_EQ(Sent(), (Texts{"3002"
                           "3"
                           "26" +
                               std::string(16, ' ') + "0123456789",
                           "3012"
                           "1"
                           "32" +
                               std::string(29, ' ') + "ABC",
                           "3008"
                           "B"
                           "72" +
                               std::string(72, 'b'),
                           "3010"
                           "5"
                           "01"
                           "X"}));
}

// --- Refused arguments -------------------------------------------------------------------

TEST_F(CommandTest, RefusedArgumentsWriteNothingToPortOrLog) {
  const std::string font = "8003;Parametrul FONT este eronat (1..6)";
  const std::string length = "8004;Lungimea textului este prea mare ";
  const std::string kind = "8034;Tip raport MF eronat (valori admise : 1 sau 2)";
  const std::string start = "8035;Data de inceput raport MF este eronata";
  const std::string end = "8036;Data de sfarsit raport MF este eronata";
  const std::vector<std::pair<std::function<bool()>, std::string>> cases = {
      {[&] { return link->PrintText3002("E", "x", 0); }, font},
      {[&] { return link->PrintText3008("01", "x"); }, length},
      {[&] { return link->PrintText3010("5", std::string(23, 'x')); }, length},
      {[&] { return link->PrintText3012("1", std::string(45, 'x'), 1); }, length},
      {[&] { return link->PrintNonFiscalText("Z", ""); }, font},
      {[&] { return link->PrintBarcode(0, 1, 3, "1"); }, "8032;Tip cod bare eronat"},
      {[&] { return link->PrintBarcode(10, 1, 3, "1"); }, "8032;Tip cod bare eronat"},
      {[&] { return link->PrintBarcode(1, 3, 3, "1"); },
       "8033;Flagul privind modul de tiparire al cifrelor la codul de bare este eronat"},
      {[&] { return link->PrintMFReportByDate(4, 1, 1, 24, 2, 1, 24); }, kind},
      {[&] { return link->PrintMFReportByDate(0, 1, 1, 24, 2, 1, 24); }, kind},
      // The start date is refused before the (also bad) end date is looked at.
      {[&] { return link->PrintMFReportByDate(1, 31, 2, 24, 99, 99, 0); }, start},
      {[&] { return link->PrintMFReportByDate(2, 1, 3, 24, 29, 2, 23); }, end},
      {[&] { return link->PrintJEReportByDate(1, 1, 0, 1, 1, 1); }, start},
      {[&] { return link->PrintJEReportByDate(1, 1, 1, 31, 4, 26); }, end},
      {[&] { return link->PrintJEReportByReceipts(0, 1, 26, 1, 2); }, start},
      {[&] { return link->PrintText3002("01", "", 0); }, length},
      // Lengths that do not fit their length field would shift every field after them.
      {[&] { return link->SellItem(std::string(100, 'n'), 1, 1, 1, "BUC", 1, 1, false); }, length},
      {[&] { return link->SellItem("PAINE", 1, 1, 1, std::string(99, 'u'), 1, 1, false); }, length},
      {[&] { return link->Payment(1, std::string(100, 't'), 1); }, length},
      {[&] { return link->AdjustPercentKind1(std::string(100, 'l'), 1); }, length},
      {[&] { return link->PrintBarcode(1, 1, 3, std::string(1000, '1')); }, length},
      {[&] { return link->PrintBarcode(1, -1, 3, "1"); },
       "8033;Flagul privind modul de tiparire al cifrelor la codul de bare este eronat"},
  };
  for (std::size_t k = 0; k < cases.size(); ++k) {
    EXPECT_FALSE(cases[k].first()) << "case " << k;
    EXPECT_EQ(link->Engine().LastError(), cases[k].second) << "case " << k;
  }
  ExpectNothingSentOrLogged();
}

TEST_F(CommandTest, LongestTextsThatFitTheirLengthField) {
  Ok();
  Ok();
  ASSERT_TRUE(link->SellItem(std::string(99, 'n'), 1, 1, 1, std::string(98, 'u'), 1, 1, false));
  ASSERT_TRUE(link->Payment(1, std::string(99, 't'), 1));
  EXPECT_EQ(Sent()[0].substr(0, 22),
            "33021"
            "001"
            "0000001"
            "00"
            "01"
            "99"
            "n");
  EXPECT_EQ(Sent()[1].substr(0, 12),
            "3007"
            "03"
            "00"
            "99"
            "tt");
}

TEST(CalendarDate, YearValueAsGiven) {
  EXPECT_TRUE(IsValidDate(29, 2, 24));
  EXPECT_FALSE(IsValidDate(29, 2, 25));
  EXPECT_FALSE(IsValidDate(29, 2, 100));
  EXPECT_TRUE(IsValidDate(29, 2, 400));
  EXPECT_FALSE(IsValidDate(1, 1, 0));
  EXPECT_FALSE(IsValidDate(31, 4, 26));
  EXPECT_FALSE(IsValidDate(1, 13, 26));
  EXPECT_FALSE(IsValidDate(0, 1, 26));
  EXPECT_TRUE(IsValidDate(31, 12, 99));
}

TEST_F(CommandTest, ReadyCommandsRefuseAClosedLinkWithoutWriting) {
  link->Engine().ClosePort();
  port->written.clear();
  EXPECT_FALSE(link->PrintZReport());
  EXPECT_FALSE(link->SellItem("X", 1, 1, 1, "", 1, 1, false));
  EXPECT_FALSE(link->CloseReceipt());
  EXPECT_FALSE(link->ReadStatus());
  EXPECT_FALSE(link->StartXmlExport("2026", 1, "R"));
  EXPECT_EQ(link->Engine().LastError(), "8001;Eroare la deschiderea portului serial");
  ExpectNothingSentOrLogged();
}

}  // namespace
}  // namespace ruvo::test
