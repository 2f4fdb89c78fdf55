// Sale files end to end on the simulated ECR: the lines as ECR commands, the deferred
// lines in their places, the close with its cut, and the response.
#include <gtest/gtest.h>

#include <algorithm>

#include "execution/ReceiptExecutorTotals.h"
#include "support/ExecBench.h"

namespace ruvo::exec_testing {
namespace {

using Lines = std::vector<std::string>;

const std::string kCut(40, '-');
const Lines kSaleFile = {"1;PAINE;BUC;1;1;250;100000", "5;250;1"};

TEST(ExecSale, SaleAndPaymentAnswerTheReceiptNumberAndCutAsConfigured) {
  ExecBench bench;
  bench.state.settings.modTaiere = 1;
  bench.state.settings.liniiAvans = 3;
  const Lines response = bench.Run({"1;PAINE;BUC;1;1;250;200000", "5;500;1"});
  EXPECT_EQ(response, (Lines{"0 OK", "BON FISCAL NR. 0001"}));
  EXPECT_EQ(bench.Sent("33021"), 1);
  EXPECT_EQ(bench.Sent("300703"), 1);  // cash goes on the wire as 03
  EXPECT_EQ(bench.Sent("3011"), 1);
  EXPECT_EQ(bench.Sent("30143"), 1);
  EXPECT_EQ(bench.Sent("3015"), 0);
  const Lines paper = bench.Paper();
  ASSERT_GE(paper.size(), 4u);
  EXPECT_EQ(paper.back(), kCut);
  EXPECT_EQ(Lines(paper.end() - 4, paper.end() - 1), (Lines{"", "", ""}));
  EXPECT_EQ(bench.PaperLinesWith("PAINE"), 1);
  EXPECT_EQ(bench.engine.GetDevice().LastReceiptNumber(), 1);

  bench.state.settings.modTaiere = 0;
  EXPECT_EQ(bench.Run({"1;PAINE;BUC;1;1;250;100000", "5;250;1"}),
            (Lines{"0 OK", "BON FISCAL NR. 0002"}));
  EXPECT_EQ(bench.Sent("3015"), 1);
  EXPECT_EQ(bench.Sent("3014"), 0);
}

TEST(ExecSale, SaleFieldsReachTheEcrInItsUnits) {
  ExecBench bench;
  bench.Run({"1;LAPTE;LITRU;12;2;1999;150000;3;-", "1;LAPTE;LITRU;12;2;1999;450000", "5;2000;1"});
  const Lines commands = bench.Commands();
  // Department 12, 19.99, VAT 2, the unit cut to 4 characters, 1.5 units over 3, a return.
  EXPECT_NE(std::find(commands.begin(), commands.end(),
                      "330240120000019990205LAPTE05 LITR0001500000003"),
            commands.end());
  EXPECT_EQ(bench.Sent("33021012000001999"), 1);
  EXPECT_EQ(bench.Response()[0], "0 OK");
}

TEST(ExecSale, FixedNameLinesAreReturnsOfOneUnit) {
  ExecBench bench;
  const Lines response =
      bench.Run({"1;GARANTIE;BUC;1;1;5000;100000", "100;1000;1", "101;50;1", "5;3950;1"});
  EXPECT_EQ(response[0], "0 OK");
  EXPECT_EQ(bench.Sent("330240010000010000118STORNO PLATA AVANS"), 1);
  EXPECT_EQ(bench.Sent("330240010000000500118AMBALAJ RETURNABIL"), 1);
  EXPECT_EQ(bench.PaperLinesWith("STORNO PLATA AVANS"), 1);
  EXPECT_EQ(bench.PaperLinesWith("AMBALAJ RETURNABIL"), 1);
}

TEST(ExecSale, DeferredLinesKeepTheirPlacesAroundTheClose) {
  ExecBench bench;
  const Lines response = bench.Run({"1;PAINE;BUC;1;1;250;100000", "10;MULTUMIM;VA ASTEPTAM",
                                    "16;2;1;5;5941234567890", "5;250;1", "12;1;TEXT DUPA BON;1"});
  EXPECT_EQ(response, (Lines{"0 OK", "BON FISCAL NR. 0001"}));
  const int payment = bench.IndexOf("3007");
  const int text = bench.IndexOf("7007");
  const int close = bench.IndexOf("3011");
  const int barcode = bench.IndexOf("3023");
  const int after = bench.IndexOf("3012");
  const int cut = bench.IndexOf("3015");
  ASSERT_GE(payment, 0);
  EXPECT_LT(payment, text);
  EXPECT_LT(text, close);
  EXPECT_LT(close, barcode);
  EXPECT_LT(barcode, after);
  EXPECT_LT(after, cut);
  EXPECT_EQ(bench.Sent("7007MULTUMIM            VA ASTEPTAM         "), 1);
  EXPECT_EQ(bench.Sent("302302150135941234567890"), 1);
  EXPECT_EQ(bench.PaperLinesWith("TEXT DUPA BON"), 1);
}

TEST(ExecSale, DiscountsChooseTheirCommandByFamilyAndAmount) {
  ExecBench bench;
  const Lines response = bench.Run({"1;A;BUC;1;1;1000;100000", "7;0;0;1;1000", "7;1;1;1;500;150;1",
                                    "7;1;0;1;200", "7;0;0;1;0;100;1", "5;2000;1"});
  EXPECT_EQ(response[0], "0 OK");
  EXPECT_EQ(bench.Sent("3302B001000001000"), 1);  // 10 % markup
  EXPECT_EQ(bench.Sent("3003"), 1);               // subtotal before the 1.50 discount
  EXPECT_LT(bench.IndexOf("3003"), bench.IndexOf("33023"));
  EXPECT_EQ(bench.Sent("33023001000000150"), 1);
  EXPECT_EQ(bench.Sent("3302C001000000200"), 1);  // 2 % discount
  EXPECT_EQ(bench.Sent("330220010000001000000"), 1);
}

TEST(ExecSale, LoneTextLineIsShownWithoutAnyClose) {
  ExecBench bench;
  EXPECT_EQ(bench.Run({"10;BUNA ZIUA"}), (Lines{"0 OK"}));
  EXPECT_EQ(bench.Sent("7007BUNA ZIUA"), 1);
  EXPECT_EQ(bench.Sent("3011"), 0);
  EXPECT_EQ(bench.Sent("3015"), 0);
  EXPECT_EQ(bench.engine.GetDevice().DisplayText().substr(0, 10), "BUNA ZIUA ");
}

TEST(ExecSale, StandAloneCommandsCloseNoReceipt) {
  ExecBench bench;
  EXPECT_EQ(bench.Run({"15"}), (Lines{"0 OK"}));
  EXPECT_EQ(bench.Sent("2002"), 1);
  EXPECT_EQ(bench.Sent("3011"), 0);
  EXPECT_EQ(bench.engine.GetDevice().LastZNumber(), 1);

  EXPECT_EQ(bench.Run({"24"}), (Lines{"0 OK", "Serie Fiscala : XR0012345678"}));
  EXPECT_EQ(bench.Run({"30"})[0], "0 OK");
  EXPECT_EQ(bench.Sent("2003"), 1);
  // The series belongs to the file that read it.
  EXPECT_EQ(bench.Response(), (Lines{"0 OK"}));
}

TEST(ExecSale, DailyTotalsGiveTheirThirtyTwoLines) {
  ExecBench bench;
  bench.Run({"1;PAINE;BUC;1;1;250;200000", "5;500;1"});
  const Lines response = bench.Run({"17"});
  ASSERT_EQ(response.size(), 33u);
  EXPECT_EQ(response[0], "0 OK");
  EXPECT_EQ(response[1], "Numar Bonuri Fiscale efectuate\t0001");
  EXPECT_EQ(response[2].substr(0, 31), "Total zilnic                  \t");
  EXPECT_EQ(response[2].size(), 40u);
  EXPECT_EQ(response[32].substr(0, 30), "Total Adaosuri                ");
  EXPECT_EQ(bench.Sent("1004"), 1);
  EXPECT_EQ(bench.Sent("3011"), 0);
}

TEST(ExecSale, TotalizerLineIsLabelledByItsNumber) {
  ExecBench bench;
  const Lines response = bench.Run({"27;3"});
  ASSERT_EQ(response.size(), 2u);
  EXPECT_EQ(response[0], "0 OK");
  EXPECT_EQ(response[1].substr(0, 31), "Total net TVA A               \t");
  EXPECT_EQ(bench.Sent("111303"), 1);
  EXPECT_EQ(bench.Sent("3011"), 0);
}

TEST(ExecSale, PortLineChoosesThePortAndIsNotSent) {
  ExecBench bench;
  bench.state.settings.port = 5;
  bench.firstPort = 2;
  bench.lastPort = 2;
  EXPECT_EQ(bench.Run({"COM2", "1;PAINE;BUC;1;1;250;100000", "5;250;1"})[0], "0 OK");
  EXPECT_EQ(bench.openedPorts, Lines{"COM2"});
  for (const std::string& command : bench.Commands()) EXPECT_NE(command.rfind("COM", 0), 0u);

  // A port of 0, in the file or the settings, is COM1.
  bench.firstPort = 1;
  bench.openedPorts.clear();
  EXPECT_EQ(bench.Run({"COM0", "1;PAINE;BUC;1;1;250;100000", "5;250;1"})[0], "0 OK");
  bench.state.settings.port = 0;
  EXPECT_EQ(bench.Run(kSaleFile)[0], "0 OK");
  EXPECT_EQ(bench.openedPorts, (Lines{"COM1", "COM1"}));
}

TEST(ExecSale, EachLineIsAnnouncedAndFollowedByTheDelay) {
  ExecBench bench;
  bench.state.settings.mesajLaListareItem = true;
  bench.state.settings.delay = 250;
  const std::int64_t start = bench.clock.MonotonicMs();
  bench.Run({"1;PAINE;BUC;1;1;250;100000", "", "5;250;1"});
  EXPECT_EQ(bench.op.BoxTexts(),
            (Lines{"Listez Linia 1 : 1;PAINE;BUC;1;1;250;100000", "Listez Linia 2 : 5;250;1"}));
  // Three pauses of the file and the cycle's own second afterwards, at least.
  EXPECT_GE(bench.clock.MonotonicMs() - start, 3 * 250 + 1000);

  bench.op.boxes.clear();
  bench.state.settings.mesajLaListareItem = false;
  bench.state.settings.delay = -5;  // counts as no pause
  EXPECT_EQ(bench.Run({"1;PAINE;BUC;1;1;250;100000", "5;250;1"})[0], "0 OK");
  EXPECT_TRUE(bench.op.boxes.empty());
}

TEST(ExecSale, TheExchangeLogReachesTheFileLog) {
  ExecBench bench;
  bench.state.settings.logFile = true;
  bench.Run({"1;PAINE;BUC;1;1;250;100000", "5;250;1"});
  std::string log;
  for (const auto& entry : std::filesystem::directory_iterator(bench.state.logFolder)) {
    log += bench.Read("Log/" + entry.path().filename().string());
  }
  EXPECT_NE(log.find("-Calculator : 1215"), std::string::npos);
  EXPECT_NE(log.find("-Calculator : 3011"), std::string::npos);
  EXPECT_NE(log.find("-Calculator : 3015"), std::string::npos);
}

}  // namespace
}  // namespace ruvo::exec_testing

namespace ruvo::exec_testing {
namespace {

TEST(ExecSaleLines, OperatorAndTextLinesGoOutAsTheirCommands) {
  ExecBench bench;
  const std::vector<std::string> response =
      bench.Run({"31;7", "1;PAINE;BUC;1;1;250;100000", "2;1;TEXT LIBER;1", "11;B;CIF RO123",
                 "111;1;NOTA", "5;250;1"});
  EXPECT_EQ(response[0], "0 OK");
  EXPECT_EQ(bench.Sent("3301O000000000007"), 1);
  EXPECT_EQ(bench.engine.GetDevice().OperatorCode(), 7);
  EXPECT_EQ(bench.Sent("3002121           TEXT LIBER"), 1);  // centred on 32
  EXPECT_EQ(bench.Sent("3010B09CIF RO123"), 1);
  EXPECT_EQ(bench.Sent("3008104NOTA"), 1);
}

TEST(ExecSaleLines, FinishLineCutsWithoutAClose) {
  ExecBench bench;
  EXPECT_EQ(bench.Run({"0"}), std::vector<std::string>{"0 OK"});
  EXPECT_EQ(bench.Sent("30140"), 1);
  EXPECT_EQ(bench.Sent("3011"), 0);
}

TEST(DailyTotalsBlock, ShortAnswerGivesLabelsWithoutFigures) {
  const std::vector<std::string> lines = DailyTotalsLines(std::string(253, '\0'));
  ASSERT_EQ(lines.size(), 32u);
  EXPECT_EQ(lines[0], "Numar Bonuri Fiscale efectuate\t");
  EXPECT_FALSE(TotalizerLine(0, "1").has_value());
  EXPECT_FALSE(TotalizerLine(33, "1").has_value());
  EXPECT_EQ(TotalizerLine(32, "000000123"), "Total Adaosuri                \t000000123");
}

}  // namespace
}  // namespace ruvo::exec_testing

namespace ruvo::exec_testing {
namespace {

TEST(ExecAdministrative, RunsOnTheCheckedLinkAfterAnOpenReceiptIsCleared) {
  ExecBench bench;
  const std::unique_ptr<TXruvoLinux> link = bench.MakeLink();
  ASSERT_TRUE(link->Engine().OpenPort(1));
  ASSERT_TRUE(link->SellItem("VECHI", 1, 2.5, 1, "BUC", 1, 1, false));
  EXPECT_EQ(bench.Run({"116;3;2"})[0], "0 OK");
  EXPECT_LT(bench.IndexOf("1215"), bench.IndexOf("33028"));
  EXPECT_LT(bench.IndexOf("33028"), bench.IndexOf("3116"));
  EXPECT_EQ(bench.Sent("3116"), 1);
  EXPECT_FALSE(bench.engine.GetDevice().Receipt().Open());
}

}  // namespace
}  // namespace ruvo::exec_testing
