// Report, query and administrative commands: field checks and the first-line rule.
#include <gtest/gtest.h>

#include "CheckHelpers.h"

namespace ruvo {
namespace {

using ruvo::testing::Check;

const std::string k8007 = "8007;Comada nu contine numarul asteptat de date : ";
const std::string kMfAlone = "8027;Comanda de raport MF nu poate fi insotita de alte comenzi";

TEST(FirstLineRule, MessagePerCommand) {
  const std::string daily = "8027;Comanda de raport zilnic nu poate fi insotita de alte comenzi";
  for (const char* code : {"14", "15", "17", "30"}) {
    EXPECT_EQ(Check(code), "") << code;
    EXPECT_EQ(Check(code, 2), daily + code) << code;
    EXPECT_EQ(Check(std::string(code) + ";1"), k8007 + code + ";1") << code;
  }
  EXPECT_EQ(Check("0", 2), "8027;Comanda de finalizare bon nu poate fi insotita de alte comenzi0");
  EXPECT_EQ(Check("32", 3),
            "8027;Comanda de raport pe departamenter nu poate fi insotita de alte comenzi32");
  EXPECT_EQ(Check("24", 2),
            "8038;Comanda de citire serie fiscala nu poate fi insotita de alte comenzi24");
  EXPECT_EQ(Check("27;1", 2),
            "8038;Comanda de citire totalizator nu poate fi insotita de alte comenzi27;1");
  EXPECT_EQ(Check("28;x;y", 2),
            "8045;Comanda de citire totalizator nu poate fi insotita de alte comenzi28;x;y");
  EXPECT_EQ(Check("18;1;1;2", 2), kMfAlone + "18;1;1;2");
  EXPECT_EQ(Check("76;1;2", 2), kMfAlone + "76;1;2");
  EXPECT_EQ(Check("78;1", 2), kMfAlone + "78;1");
  EXPECT_EQ(Check("79;1;1;2", 2), kMfAlone + "79;1;1;2");
  EXPECT_EQ(Check("81;1;1;20;2;1;20", 2), kMfAlone + "81;1;1;20;2;1;20");
  EXPECT_EQ(Check("82;1;1;20;1;2", 2), kMfAlone + "82;1;1;20;1;2");
  EXPECT_EQ(Check("116;1;0", 2), kMfAlone + "116;1;0");
}

TEST(FirstLineRule, FieldCountIsCheckedBeforePosition) {
  EXPECT_EQ(Check("15;1", 5), k8007 + "15;1");
  EXPECT_EQ(Check("18;1;1", 5), k8007 + "18;1;1");
}

TEST(Totalizers, TypeRange) {
  EXPECT_EQ(Check("27"), k8007 + "27");
  EXPECT_EQ(Check("27;0"), "");
  EXPECT_EQ(Check("27;32"), "");
  EXPECT_EQ(Check("27;33"), "8041;Tipul de totalizator este eronat : 27;33");
  EXPECT_EQ(Check("27;a"), "8041;Tipul de totalizator este eronat : 27;a");
  EXPECT_EQ(Check("28"), "");
  EXPECT_EQ(Check("28;1;2;3;4;5"), "");
}

TEST(MfReports, ByNumber) {
  EXPECT_EQ(Check("18;1;1;5"), "");
  EXPECT_EQ(Check("18;1;1"), k8007 + "18;1;1");
  EXPECT_EQ(Check("18;3;1;5"), "8034;Tip raport MF eronat (valori corecte 1 sau 2) : 18;3;1;5");
  EXPECT_EQ(Check("18;2;x;5"), "8037;Numar inceput raport MF eronat : 18;2;x;5");
  EXPECT_EQ(Check("18;2;1;;"), "8037;Numar sfarsit raport MF eronat : 18;2;1;;");
}

TEST(MfReports, ByDateWithLeapYears) {
  EXPECT_EQ(Check("19"), "");
  EXPECT_EQ(Check("19", 4), "");  // without fields it may stand anywhere
  EXPECT_EQ(Check("19;1;29;2;20;1;3;20"), "");
  EXPECT_EQ(Check("19;1;29;2;19;1;3;19"),
            "8035;Data de inceput raport MF este eronata : 19;1;29;2;19;1;3;19");
  EXPECT_EQ(Check("19;2;1;1;20;29;2;21"),
            "8036;Data de sfarsit raport MF este eronata : 19;2;1;1;20;29;2;21");
  EXPECT_EQ(Check("19;0;1;1;20;1;1;20"),
            "8034;Tip raport MF eronat (valori corecte 1 sau 2) : 19;0;1;1;20;1;1;20");
  EXPECT_EQ(Check("19;1;1;x;20;1;1;20"),
            "8035;Data de inceput raport MF este eronata : 19;1;1;x;20;1;1;20");
  EXPECT_EQ(Check("19;1;1;1;1.0;1;1;20"),
            "8035;Data de inceput raport MF este eronata : 19;1;1;1;1.0;1;1;20");
  EXPECT_EQ(Check("19;1;1;1;99999999999;1;1;20"),
            "8035;Data de inceput raport MF este eronata : 19;1;1;1;99999999999;1;1;20");
  for (const char* line : {"19;1", "19;1;1;1;20;1;1", "19;1;1;1;20;1;1;20;9"}) {
    EXPECT_EQ(Check(line), k8007 + line);
  }
}

TEST(JeReports, ZAndLineNumbers) {
  EXPECT_EQ(Check("76;1;9999"), "");
  EXPECT_EQ(Check("76;0;5"), "8035;Numar Z inceput raport eronat. Valori admise 1..9999 : 76;0;5");
  EXPECT_EQ(Check("76;1;10000"),
            "8036;Numar Z sfarsit raport eronat. Valori admise 1..9999 : 76;1;10000");
  EXPECT_EQ(Check("76;1"), k8007 + "76;1");
  EXPECT_EQ(Check("78;999999999"), "");
  EXPECT_EQ(Check("78;1000000000"),
            "8035;Numar linie eronata. Valori admise 1..999999999 : 78;1000000000");
  EXPECT_EQ(Check("78;0"), "8035;Numar linie eronata. Valori admise 1..999999999 : 78;0");
  EXPECT_EQ(Check("79;5;1;3"), "");
  EXPECT_EQ(Check("79;10000;1;3"),
            "8035;Numar Z inceput raport eronat. Valori admise 1..9999 : 79;10000;1;3");
  EXPECT_EQ(Check("79;5;0;3"),
            "8036;Numar bon inceput sfarsit raport eronat. Valori admise 1..9999 : 79;5;0;3");
  EXPECT_EQ(Check("79;5;1;x"), "8036;Numar bon sfarsit eronat. Valori admise 1..9999 : 79;5;1;x");
}

TEST(JeReports, ByDates) {
  EXPECT_EQ(Check("81;28;2;21;1;3;21"), "");
  EXPECT_EQ(Check("81;29;2;21;1;3;21"),
            "8035;Data de inceput raport MF este eronata : 81;29;2;21;1;3;21");
  EXPECT_EQ(Check("81;1;3;21;32;3;21"),
            "8036;Data de sfarsit raport MF este eronata : 81;1;3;21;32;3;21");
  EXPECT_EQ(Check("81;1;3;21;1;3"), k8007 + "81;1;3;21;1;3");
  EXPECT_EQ(Check("82;29;2;24;1;9999"), "");
  EXPECT_EQ(Check("82;1;13;24;1;2"),
            "8035;Data de inceput raport MF este eronata : 82;1;13;24;1;2");
  EXPECT_EQ(Check("82;1;1;24;0;2"),
            "8035;Numar bon inceput raport eronat. Valori admise 1..9999 : 82;1;1;24;0;2");
  EXPECT_EQ(Check("82;1;1;24;1;10000"),
            "8036;Numar bon sfarsit raport eronat. Valori admise 1..9999 : 82;1;1;24;1;10000");
}

TEST(BeepAndTypedReports, Ranges) {
  EXPECT_EQ(Check("116;9;0"), "");
  EXPECT_EQ(Check("116;0;0"), "8035;Numar de beep-uri eronat. Valori admise 1..9 : 116;0;0");
  EXPECT_EQ(Check("116;1;7"), "8035;Valoare TON eronat. Valori admise 0..6 : 116;1;7");
  EXPECT_EQ(Check("116;1;x"), "8035;Valoare TON eronat. Valori admise 0..6 : 116;1;x");
  EXPECT_EQ(Check("102;14"), "");
  EXPECT_EQ(Check("103;1;extra"), "");
  EXPECT_EQ(Check("102;0"), "8051;Parametrul TIP RAPORT este eronat. Valori admise: 1..14 102;0");
  EXPECT_EQ(Check("103;15"), "8051;Parametrul TIP RAPORT este eronat. Valori admise: 1..14 103;15");
  EXPECT_EQ(Check("102;x"), "8051;Parametrul TIP RAPORT este eronat. Valori admise: 1..14 102;x");
  EXPECT_EQ(Check("102"), k8007 + "102");
}

TEST(CashInOut, OperationsAndAmounts) {
  EXPECT_EQ(Check("25;R"), "");
  EXPECT_EQ(Check("25;D;1000"), "");
  EXPECT_EQ(Check("25;P;1000"), "");
  EXPECT_EQ(Check("25"), k8007 + "25");
  EXPECT_EQ(Check("25;D"), k8007 + "25;D");
  EXPECT_EQ(Check("25;d;100"), "Tip operatie eronata. Valori admise D, P, sau R  : 25;d;100");
  EXPECT_EQ(Check("25;P;1O0"), "8022;Suma eronata : 25;P;1O0");
  EXPECT_EQ(Check("20"), "");
  EXPECT_EQ(Check("20;1"), k8007 + "20;1");
}

TEST(SetDateTime, PackedFieldsAndLeapYears) {
  EXPECT_EQ(Check("42;290220;1230"), "");
  EXPECT_EQ(Check("42;290219;1230"), "Data eronata : 42;290219;1230");
  EXPECT_EQ(Check("42;310421;1230"), "Data eronata : 42;310421;1230");
  EXPECT_EQ(Check("42;010117;1230"), "Parametrul AN este eronat : 42;010117;1230");
  EXPECT_EQ(Check("42;010118;2359"), "");
  EXPECT_EQ(Check("42;010118"), k8007 + "42;010118");
  EXPECT_EQ(Check("42;10118;1230"), "Parametrul DATA este eronat : 42;10118;1230");
  EXPECT_EQ(Check("42;010118;123"), "Parametrul ORA-MIN este eronat : 42;010118;123");
  EXPECT_EQ(Check("42;320118;1230"), "Parametrul ZI este eronat : 42;320118;1230");
  EXPECT_EQ(Check("42;a10118;1230"), "Parametrul ZI este eronat : 42;a10118;1230");
  EXPECT_EQ(Check("42;011318;1230"), "Parametrul LUNA este eronat : 42;011318;1230");
  EXPECT_EQ(Check("42;010118;2430"), "Parametrul ORA este eronat : 42;010118;2430");
  EXPECT_EQ(Check("42;010118;1260"), "Parametrul MINUTE este eronat : 42;010118;1260");
  EXPECT_EQ(Check("42;010118;12-1"), "Parametrul MINUTE este eronat : 42;010118;12-1");
}

TEST(XmlExport, FieldRulesInOrder) {
  EXPECT_EQ(Check("416;2019;3;X"), "");
  EXPECT_EQ(Check("416;2019;3;R;"), "");
  EXPECT_EQ(Check("416;2019;3;R;;"), "");  // field 4 empty: no transfer
  EXPECT_EQ(Check("416;2019;12;R;2;1;4"), "");
  EXPECT_EQ(Check("416;2019;3"), k8007 + "416;2019;3");
  EXPECT_EQ(Check("416;19;3;X"), "Parametrul AN este eronat : 416;19;3;X");
  EXPECT_EQ(Check("416;2O19;3;X"), "Parametrul AN este eronat : 416;2O19;3;X");
  EXPECT_EQ(Check("416;2019;13;X"), "Parametrul LUNA este eronat : 416;2019;13;X");
  EXPECT_EQ(Check("416;2019;3;x"),
            "Parametrul TIP EXPORT este eronat. Valori admise (X sau R) : 416;2019;3;x");
  EXPECT_EQ(Check("416;2019;3;X;3"),
            "Parametrul EXPORT PE PC este eronat. Valori admise (1 sau 2) : 416;2019;3;X;3");
  EXPECT_EQ(Check("416;2019;3;X;1;5"), "Lipseste NUMARUL ULTIMULUI RAPORT : 416;2019;3;X;1;5");
  EXPECT_EQ(Check("416;2019;3;X;1;a;5"),
            "Parametrul NR.INCEPUT RAPORT este nenumeric : 416;2019;3;X;1;a;5");
  EXPECT_EQ(Check("416;2019;3;X;1;5;b"),
            "Parametrul NR.SFARSIT RAPORT este nenumeric : 416;2019;3;X;1;5;b");
  EXPECT_EQ(Check("416;2019;3;X;1;5;3"),
            "NR.INCEPUT RAPORT este mai mare decat NR.SFARSIT RAPORT : 416;2019;3;X;1;5;3");
}

}  // namespace
}  // namespace ruvo
