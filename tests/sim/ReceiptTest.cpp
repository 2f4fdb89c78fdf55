#include <gtest/gtest.h>

#include "SimTestSupport.h"

namespace xruvo_sim::test {
namespace {

std::string Pad(long long value, std::size_t width) {
  std::string s = std::to_string(value);
  return std::string(width > s.size() ? width - s.size() : 0, '0') + s;
}

std::string Len2(const std::string& text) {
  return Pad(static_cast<long long>(text.size()), 2) + text;
}

// "33021" N3 Amt(7,2) N2 L2(name) L2(" " unit) Amt(4,5) N4, as the driver lays it out.
std::string Sale(const std::string& name, long long priceCents, long long quantity,
                 long long denominator = 1, int vat = 1, bool storno = false) {
  return std::string(storno ? "33024" : "33021") + "001" + Pad(priceCents / 100, 7) +
         Pad(priceCents % 100, 2) + Pad(vat, 2) + Len2(name) + Len2(" BUC") +
         Pad(quantity / 100000, 4) + Pad(quantity % 100000, 5) + Pad(denominator, 4);
}

// "3007" N2(type) "00" L2(text) Amt(7,2)
std::string Pay(int type, long long cents, const std::string& text = "") {
  return "3007" + Pad(type, 2) + "00" + Len2(text) + Pad(cents / 100, 7) + Pad(cents % 100, 2);
}

TEST(SimReceipt, SalePaymentCloseCutAdvancesTheNumber) {
  SimBench bench;
  EXPECT_EQ(bench.Data(Sale("PAINE", 1250, 200000)), "");  // 2 x 12.50
  EXPECT_EQ(bench.Data("1012"), "1");
  EXPECT_EQ(bench.Data("1112"), "10001");
  EXPECT_EQ(bench.Data("1215").substr(14, 1), "1");  // fiscal receipt open
  EXPECT_EQ(bench.engine.GetDevice().Receipt().Total(), 2500);

  EXPECT_EQ(bench.Data(Pay(2, 1000, "CEC")), "+000001500");  // 15.00 still due
  EXPECT_EQ(bench.Data("1012"), "4");
  EXPECT_EQ(bench.Data(Pay(3, 2000)), "-000000500");  // paid, 5.00 change
  EXPECT_EQ(bench.Data("1012"), "5");
  EXPECT_EQ(bench.Data(Sale("LAPTE", 500, 100000)), "ERR05");  // paid receipts take no sales

  EXPECT_EQ(bench.Data("3011"), "");
  EXPECT_EQ(bench.Data("1112"), "60001");
  EXPECT_EQ(bench.Data("3012"
                       "1"
                       "05"
                       "MULTU"),
            "");  // text after the close still prints
  EXPECT_EQ(bench.Data("30140"), "");
  EXPECT_EQ(bench.Data("1112"), "00001");
  EXPECT_EQ(bench.Data("1215").substr(14, 1), "0");

  const std::string paper = bench.engine.GetPaper().Text();
  EXPECT_NE(paper.find("2.000 BUC x 12.50"), std::string::npos) << paper;
  EXPECT_NE(paper.find("REST"), std::string::npos);
  EXPECT_NE(paper.find("TOTAL"), std::string::npos);
  EXPECT_NE(paper.find("BON FISCAL NR. 0001"), std::string::npos);
  EXPECT_NE(paper.find(std::string(40, '-')), std::string::npos);  // the cut

  EXPECT_EQ(bench.Data(Sale("PAINE", 1250, 100000)), "");
  EXPECT_EQ(bench.Data("1112"), "10002");

  // The day's totals: one receipt of 25.00, 10.00 cash less 5.00 change in the drawer.
  const std::string block = bench.Data("1004");
  ASSERT_EQ(block.size(), 253u);
  EXPECT_EQ(block.substr(0, 4), "0001");
  EXPECT_EQ(block.substr(4, 9), "000002500");
  EXPECT_EQ(block.substr(157, 9), "000001500");
  EXPECT_EQ(bench.Data("111302"), "000002500");
}

TEST(SimReceipt, ValueFollowsQuantityAndDenominatorRoundedHalfUp) {
  SimBench bench;
  bench.Data(Sale("CASCAVAL", 3333, 150000, 1));  // 1.5 x 33.33 = 49.995 -> 50.00
  EXPECT_EQ(bench.engine.GetDevice().Receipt().Total(), 5000);
  bench.Data(Sale("OUA", 1200, 100000, 10));  // a tenth of 12.00
  EXPECT_EQ(bench.engine.GetDevice().Receipt().Total(), 5120);
  bench.Data(Sale("RETUR", 120, 100000, 1, 1, true));
  EXPECT_EQ(bench.engine.GetDevice().Receipt().Total(), 5000);
  EXPECT_EQ(bench.Data(Sale("ZERO", 100, 0)), "ERR03");
  EXPECT_EQ(bench.Data(Sale("ZERO", 100, 100000, 0)), "ERR03");
  EXPECT_EQ(bench.Data(Sale("TVA", 100, 100000, 1, 9)), "ERR03");
  EXPECT_EQ(bench.Data("33021"
                       "001"),
            "ERR24");
}

TEST(SimReceipt, CloseWithoutPaymentPaysCashAndCancelClearsTheReceipt) {
  SimBench bench;
  bench.Data(Sale("APA", 300, 100000));
  EXPECT_EQ(bench.Data("3011"), "");
  EXPECT_EQ(bench.Data("1012"), "6");
  EXPECT_EQ(bench.Data("33028"), "ERR05");  // closed receipts are not cancelled
  EXPECT_EQ(bench.Data("3015"), "");
  EXPECT_EQ(bench.engine.GetDevice().Totals().drawerCash, 300);

  bench.Data(Sale("APA", 300, 100000));
  EXPECT_EQ(bench.Data(Pay(3, 100)), "+000000200");
  EXPECT_EQ(bench.Data("33028"), "");
  EXPECT_EQ(bench.Data("1012"), "0");
  EXPECT_EQ(bench.Data("1112"), "00002");  // the cancelled receipt keeps its number
  EXPECT_EQ(bench.Data("33028"), "ERR05");
  EXPECT_EQ(bench.engine.GetDevice().Totals().drawerCash, 300);  // the cash went back
  const std::string block = bench.Data("1004");
  EXPECT_EQ(block.substr(201, 4), "0001");  // one cancelled receipt
}

TEST(SimReceipt, CutOfAPaidReceiptFinishesItWithoutClose) {
  SimBench bench;
  bench.Data(Sale("APA", 300, 100000));
  EXPECT_EQ(bench.Data("30140"), "ERR25");  // not paid yet
  bench.Data(Pay(3, 300));
  EXPECT_EQ(bench.Data("30140"), "");
  EXPECT_EQ(bench.Data("1112"), "00001");
  EXPECT_EQ(bench.engine.GetDevice().Totals().receipts, 1);
}

TEST(SimReceipt, DiscountsAndMarkupsChangeTheTotal) {
  SimBench bench;
  bench.Data(Sale("A", 10000, 100000));
  EXPECT_EQ(bench.Data("3302C"
                       "001"
                       "000001000"
                       "00"
                       "00"),
            "");  // 10 % off the line
  EXPECT_EQ(bench.engine.GetDevice().Receipt().Total(), 9000);
  EXPECT_EQ(bench.Data("3003"), "+000009000");
  EXPECT_EQ(bench.Data("33022"
                       "001"
                       "000000500"
                       "00"
                       "00"),
            "");  // 5.00 on the subtotal
  EXPECT_EQ(bench.engine.GetDevice().Receipt().Total(), 9500);
  EXPECT_EQ(bench.Data("1012"), "3");
  EXPECT_EQ(bench.Data("33023"
                       "001"
                       "000100000"
                       "00"
                       "00"),
            "ERR23");  // more than the line
  EXPECT_EQ(bench.Data("3302B"
                       "001"
                       "000010001"
                       "00"
                       "00"),
            "ERR03");  // over 100 %
  EXPECT_EQ(bench.Data("3301C"
                       "000000"
                       "000"
                       "000"
                       "00"
                       "000000100"
                       "0"),
            "");
  EXPECT_EQ(bench.engine.GetDevice().Receipt().Total(), 9400);
  // Negative amounts carry the sign in both parts: -1.05 is "00000-1" "-5", -1.25 "-25".
  EXPECT_EQ(bench.Data("3301C"
                       "000000"
                       "000"
                       "000"
                       "00"
                       "00000-1"
                       "-5"
                       "0"),
            "");
  EXPECT_EQ(bench.engine.GetDevice().Receipt().Total(), 9505);
  EXPECT_EQ(bench.Data("3301C"
                       "000000"
                       "000"
                       "000"
                       "00"
                       "00000-1"
                       "-25"
                       "0"),
            "");
  EXPECT_EQ(bench.engine.GetDevice().Receipt().Total(), 9630);
}

TEST(SimReceipt, PaymentsNeedAnOpenReceiptAndAKnownForm) {
  SimBench bench;
  EXPECT_EQ(bench.Data(Pay(3, 100)), "ERR05");
  bench.Data(Sale("A", 1000, 100000));
  EXPECT_EQ(bench.Data(Pay(31, 100)), "ERR99");
  EXPECT_EQ(bench.Data("1015"), "ERR137");
  bench.engine.GetDevice().GetConditions().refusedPayments.insert(1);
  EXPECT_EQ(bench.Data(Pay(1, 100)), "ERR99");
  EXPECT_EQ(bench.Data(Pay(6, 1001)), "ERR99");  // a card cannot pay more than is due
  EXPECT_EQ(bench.Data("1015"), "ERR141");
  EXPECT_EQ(bench.Data(Pay(3, 1000)), "-000000000");
  EXPECT_EQ(bench.engine.GetDevice().Receipt().payments.back().code, 3);
}

TEST(SimReceipt, TextsMayNotFakeTheTotalOnAFiscalReceipt) {
  SimBench bench;
  EXPECT_EQ(bench.Data("3002"
                       "1"
                       "05"
                       "TOTAL"),
            "");  // outside a receipt it is only text
  bench.Data(Sale("A", 1000, 100000));
  EXPECT_EQ(bench.Data("3008"
                       "1"
                       "09"
                       "SUB TOTAL"),
            "ERR07");
  EXPECT_EQ(bench.Data("3010"
                       "E"
                       "02"
                       "AB"),
            "ERR03");  // no such font
  EXPECT_EQ(bench.Data("3010"
                       "5"
                       "23" +
                       std::string(23, 'x')),
            "ERR24");  // font 5 holds 22
  EXPECT_EQ(bench.Data("7007"
                       "VA MULTUMIM" +
                       std::string(29, ' ')),
            "");
  EXPECT_EQ(bench.engine.GetDevice().DisplayText(), "VA MULTUMIM" + std::string(29, ' '));
  EXPECT_EQ(bench.engine.GetPaper().Lines().back(), "VA MULTUMIM");  // printed on the receipt too
  EXPECT_EQ(bench.Data("7007" + std::string(41, 'D')), "ERR24");
}

TEST(SimReceipt, NonFiscalReceiptAndCash) {
  SimBench bench;
  EXPECT_EQ(bench.Data("40011"
                       "0"
                       "000000000"),
            "");
  EXPECT_EQ(bench.Data("1215").substr(16, 1), "1");
  EXPECT_EQ(bench.Data(Sale("A", 1000, 100000)), "ERR21");
  EXPECT_EQ(bench.Data("4003"
                       "1"
                       "01"
                       " "),
            "");
  EXPECT_EQ(bench.Data("4004"), "0001");
  EXPECT_EQ(bench.Data("4004"), "ERR05");
  EXPECT_EQ(bench.Data("7106D000015050"), "+000015050");
  EXPECT_EQ(bench.Data("7106P000002000"), "+000013050");
  EXPECT_EQ(bench.Data("7106P000200000"), "ERR99");  // not that much in the drawer
  EXPECT_EQ(bench.Data("1015"), "ERR136");
  EXPECT_EQ(bench.Data("7106R"), "+000013050");
  EXPECT_EQ(bench.Data("7106D000000000"), "ERR03");
  const std::string block = bench.Data("1004");
  EXPECT_EQ(block.substr(175, 4), "0001");  // one withdrawal
  EXPECT_EQ(block.substr(188, 4), "0001");  // one float
}

TEST(SimReceipt, ZReportAdvancesTheNumberAndClearsTheDay) {
  SimBench bench;
  bench.Data(Sale("A", 1000, 100000));
  EXPECT_EQ(bench.Data("2002"), "ERR21");  // not with a receipt open
  bench.Data("3011");
  bench.Data("3015");
  EXPECT_EQ(bench.Data("2003"), "");
  EXPECT_EQ(bench.Data("1004").substr(0, 4), "0001");
  EXPECT_EQ(bench.Data("2002"), "");
  EXPECT_EQ(bench.engine.GetDevice().LastZNumber(), 1);
  EXPECT_EQ(bench.Data("1004"), std::string(253, '0'));
  EXPECT_EQ(bench.Data("1112"), "00000");  // numbering starts again after the Z
  EXPECT_NE(bench.engine.GetPaper().Text().find("Z NR. 0001"), std::string::npos);
  EXPECT_EQ(bench.Data("8006000100010001"), "Z 0001 BONURI 0001-0001 NR 1 TOTAL 10.00");
}

TEST(SimReceipt, TwentyFourHoursAfterTheZSalesAreRefused) {
  SimBench bench;
  bench.clock.Advance(24LL * 60 * 60 * 1000);
  EXPECT_EQ(bench.Data(Sale("A", 1000, 100000)), "ERR61");
  EXPECT_EQ(bench.Data("2002"), "");
  EXPECT_EQ(bench.Data(Sale("A", 1000, 100000)), "");
}

TEST(SimReceipt, DateAndTimeAreCheckedAndSet) {
  SimBench bench;
  EXPECT_EQ(bench.Data("2001"
                       "3102241200"),
            "ERR12");
  EXPECT_EQ(bench.Data("2001"
                       "2902241230"),
            "0");
  const ruvo::LocalDateTime now = bench.engine.GetDevice().DeviceTime();
  EXPECT_EQ(now.year, 2024);
  EXPECT_EQ(now.month, 2);
  EXPECT_EQ(now.hour, 12);
  EXPECT_EQ(now.minute, 30);
}

}  // namespace
}  // namespace xruvo_sim::test
