// Files written for the older driver, rewritten into the current syntax.
#include <gtest/gtest.h>

#include "CheckHelpers.h"
#include "receipt/LegacyConversion.h"

namespace ruvo {
namespace {

using ruvo::testing::Validate;

std::string Convert(const std::string& line, const LegacyConversionSettings& settings = {}) {
  return ConvertLegacyLine(line, settings);
}

TEST(LegacySale, BecomesACurrentSaleLine) {
  // name; (unused); unit code; VAT; price; quantity with three decimals; ...; ...; return
  EXPECT_EQ(Convert("1;PAINE;x;2;1;350;1500;a;b"), "1;PAINE;UM2;1;1;350;150000;1;");
  EXPECT_EQ(Convert("1;PAINE;x;2;1;350;1500;a;b;-"), "1;PAINE;UM2;1;1;350;150000;1;-");
  EXPECT_EQ(Convert("1;PAINE;x;2;1;350;1500;a;b;+"), "1;PAINE;UM2;1;1;350;150000;1;");
  EXPECT_EQ(Convert("1;PAINE;x;;1;350;1000"), "1;PAINE;UM;1;1;350;100000;1;");
  EXPECT_EQ(Convert("1;PAINE;x"), "1;PAINE;;1;;;;1;");
  EXPECT_EQ(Convert("1;PAINE;x;2;1;350"), "1;PAINE;UM2;1;1;350;;1;");
}

TEST(LegacySale, ConvertedLineIsAValidOrdinarySale) {
  const std::vector<std::string> converted =
      ConvertLegacyLines({"1;PAINE;x;2;1;350;1000;a;b", "5;350;1"}, {});
  EXPECT_EQ(Validate(converted), "");
  // Fewer than 4 or 7 fields: refused by the sale checker in the current syntax.
  EXPECT_EQ(Validate(ConvertLegacyLines({"1;PAINE;x", "5;350;1"}, {})),
            "8049;Lipseste unitate de masura articol : 1;PAINE;;1;;;;1;");
}

TEST(LegacySale, UnitsFromTheSettings) {
  LegacyConversionSettings settings;
  settings.unitConversions = {{"1", "BUC"}, {"kg", "KG"}, {" 3 ", "L"}};
  EXPECT_EQ(ConvertUnit("1", settings.unitConversions), "BUC");
  EXPECT_EQ(ConvertUnit("KG", settings.unitConversions), "KG");  // keys ignore case
  EXPECT_EQ(ConvertUnit("3", settings.unitConversions), "L");
  EXPECT_EQ(ConvertUnit("2", settings.unitConversions), "UM2");
  EXPECT_EQ(ConvertUnit("", settings.unitConversions), "UM");
  EXPECT_EQ(Convert("1;A;x;1;1;100;1000", settings), "1;A;BUC;1;1;100;100000;1;");
}

TEST(AdvanceReversal, BecomesADiscountAndAText) {
  const std::string line = "1;STORNO PLATA AVANS;x;1;1;5000;1000;;;-";
  EXPECT_EQ(Convert(line), "7;1;1;1;0;5000;1\r2;1;STORNO PLATA AVANS");
  EXPECT_EQ(ConvertLegacyLines({line}, {}),
            (std::vector<std::string>{"7;1;1;1;0;5000;1", "2;1;STORNO PLATA AVANS"}));
  // Two and a half units at 50.00, cut toward zero.
  EXPECT_EQ(Convert("1;storno avans;x;1;1;3333;2500;;;-"), "7;1;1;1;0;8332;1\r2;1;storno avans");
  // Without the return mark it is an ordinary sale.
  EXPECT_EQ(Convert("1;STORNO PLATA AVANS;x;1;1;5000;1000"),
            "1;STORNO PLATA AVANS;UM1;1;1;5000;100000;1;");
}

TEST(AdvanceReversal, AmountThatCannotBeComputedIsLeftEmpty) {
  EXPECT_EQ(Convert("1;STORNO AVANS;x;1;1;50.00;1000;;;-"), "7;1;1;1;0;;1\r2;1;STORNO AVANS");
  EXPECT_EQ(Convert("1;STORNO AVANS;x;1;1;9223372036854775807;1000;;;-"),
            "7;1;1;1;0;;1\r2;1;STORNO AVANS");
  // ... so the validation pass refuses it rather than take nothing off.
  EXPECT_EQ(Validate(ConvertLegacyLines({"1;STORNO AVANS;x;1;1;x;1000;;;-"}, {})),
            "8019;Valoare adaos/discount eronata: 7;1;1;1;0;;1");
}

TEST(AdvanceReversal, WordsFromTheSettings) {
  LegacyConversionSettings settings;
  settings.advanceReversal = {{"cuvinte", "avans"}};
  EXPECT_EQ(Convert("1;RETUR AVANS;x;1;1;100;1000;;;-", settings),
            "7;1;1;1;0;100;1\r2;1;RETUR AVANS");
  EXPECT_EQ(Convert("1;STORNO MARFA;x;1;1;100;1000;;;-", settings),
            "1;STORNO MARFA;UM1;1;1;100;100000;1;-");

  settings.advanceReversal = {{"Cuvinte", ""}};  // empty: the default words
  EXPECT_TRUE(IsAdvanceReversal("Storno Avans", settings.advanceReversal));
  EXPECT_FALSE(IsAdvanceReversal("AVANS", settings.advanceReversal));
  // An empty word would match every name; it is left out.
  settings.advanceReversal = {{"Cuvinte", ";"}};
  EXPECT_FALSE(IsAdvanceReversal("PAINE", settings.advanceReversal));
  settings.advanceReversal = {{"Cuvinte", "RETUR; AVANS;"}};
  EXPECT_TRUE(IsAdvanceReversal("avans retur", settings.advanceReversal));
  EXPECT_FALSE(IsAdvanceReversal("retur", settings.advanceReversal));
  // Upper case of the code page's own letters.
  settings.advanceReversal = {{"Cuvinte",
                               "\xAA"
                               "EF"}};  // S cedilla
  EXPECT_TRUE(
      IsAdvanceReversal("\xBA"
                        "ef",
                        settings.advanceReversal));
}

TEST(LegacyText, ClientFiscalCode) {
  EXPECT_EQ(Convert("12;1;cif client RO 12 345 678"), "11;B;RO12345678");
  EXPECT_EQ(Convert("12;1;  Cif Client:  RO 1"), "11;B;:RO1");
  EXPECT_EQ(Convert("12;1;MULTUMIM"), "12;1;MULTUMIM");
  EXPECT_EQ(Convert("12;CIF CLIENT"), "12;CIF CLIENT");
  EXPECT_EQ(Convert("2;1;CIF CLIENT RO1"), "2;1;CIF CLIENT RO1");
}

TEST(LegacyOthers, BarcodeCashAndPayment) {
  EXPECT_EQ(Convert("16;2;1;5941234"), "16;2;2;5;5941234");
  EXPECT_EQ(Convert("16;2;0;5941234"), "16;2;0;5;5941234");
  EXPECT_EQ(Convert("25;1;5000"), "25;P;5000");
  EXPECT_EQ(Convert("25;0;5000"), "25;D;5000");
  EXPECT_EQ(Convert("25"), "25;D;");
  EXPECT_EQ(Convert("5;1000;6"), "5;1000;7;;");
  EXPECT_EQ(Convert("5;1000;7;a;b"), "5;1000;5;a;b");
  EXPECT_EQ(Convert("5;1000;5"), "5;1000;6;;");
  EXPECT_EQ(Convert("5;1000;1"), "5;1000;1;;");
  EXPECT_EQ(Convert("15"), "15");
  EXPECT_EQ(Convert("COM3"), "COM3");
}

TEST(LegacyFile, EmptyLinesDisappear) {
  const std::vector<std::string> converted =
      ConvertLegacyLines({"", "1;A;x;1;1;100;1000;;;-", "", "7;0;0;1;100", ""}, {});
  EXPECT_EQ(converted, (std::vector<std::string>{"1;A;UM1;1;1;100;100000;1;-", "7;0;0;1;100"}));
  // The discount now follows the return line directly.
  EXPECT_EQ(Validate(converted), "8044;Nu se poate aplica discount la o linie storno: 7;0;0;1;100");
  EXPECT_TRUE(ConvertLegacyLines({"", ""}, {}).empty());
}

}  // namespace
}  // namespace ruvo
