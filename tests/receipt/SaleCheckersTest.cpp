// Messages of the receipt-building commands, each with the line that caused it.
#include <gtest/gtest.h>

#include "CheckHelpers.h"

namespace ruvo {
namespace {

using ruvo::testing::Check;

const std::string kSale = "1;ITEM;PCS;1;1;250;200000";

TEST(SaleLine, ValidShapes) {
  EXPECT_EQ(Check(kSale), "");
  EXPECT_EQ(Check(kSale + ";;-"), "");  // empty denominator, a return
  EXPECT_EQ(Check(kSale + ";3"), "");
  EXPECT_EQ(Check("1;ITEM;PCS;0;0;250;1"), "");
  EXPECT_EQ(Check("1;ITEM;PCS;999;8;+1250;999999999"), "");
  EXPECT_EQ(Check(kSale + ";1;-;ignored;fields"), "");
}

TEST(SaleLine, EachFieldHasItsMessage) {
  EXPECT_EQ(Check("1;ITEM;PCS;1;1;250"),
            "8007;Comada nu contine numarul asteptat de date : 1;ITEM;PCS;1;1;250");
  EXPECT_EQ(Check("1;;PCS;1;1;250;1"), "8008;Lipseste denumire articol : 1;;PCS;1;1;250;1");
  EXPECT_EQ(Check("1;A;;1;1;250;1"), "8049;Lipseste unitate de masura articol : 1;A;;1;1;250;1");
  EXPECT_EQ(Check("1;A;U;1000;1;250;1"),
            "8009;Codul departamentului este eronat : 1;A;U;1000;1;250;1");
  EXPECT_EQ(Check("1;A;U;x;1;250;1"), "8009;Codul departamentului este eronat : 1;A;U;x;1;250;1");
  EXPECT_EQ(Check("1;A;U;-1;1;250;1"), "8009;Codul departamentului este eronat : 1;A;U;-1;1;250;1");
  EXPECT_EQ(Check("1;A;U;1;9;250;1"), "8010;Codul cotei de TVA este eronata : 1;A;U;1;9;250;1");
  EXPECT_EQ(Check("1;A;U;1;1;2,5;1"), "8011;Pret eronat : 1;A;U;1;1;2,5;1");
  EXPECT_EQ(Check("1;A;U;1;1;250;1 "), "8012;Cantitate eronata : 1;A;U;1;1;250;1 ");
  EXPECT_EQ(Check("1;A;U;1;1;250;1000000000"),
            "8012;Cantitate eronata. Valori admise 1..9999.99999 : 1;A;U;1;1;250;1000000000");
  EXPECT_EQ(Check(kSale + ";0"),
            "8050;Numitor cantitate eronata. Valori admise 1..9999 : " + kSale + ";0");
  EXPECT_EQ(Check(kSale + ";10000"),
            "8050;Numitor cantitate eronata. Valori admise 1..9999 : " + kSale + ";10000");
  EXPECT_EQ(Check(kSale + ";9999"), "");
}

TEST(SaleLine, QuantityOfNothingIsRefused) {
  EXPECT_EQ(Check("1;A;U;1;1;250;0"),
            "8012;Cantitate eronata. Valori admise 1..9999.99999 : 1;A;U;1;1;250;0");
  const std::string message = "8012;Cantitate eronata : ";
  EXPECT_EQ(Check("1;A;U;1;1;250;-100000"), message + "1;A;U;1;1;250;-100000");
  EXPECT_EQ(Check("1;A;U;1;1;250;1.5"), message + "1;A;U;1;1;250;1.5");
  EXPECT_EQ(Check("1;A;U;1;1;250;99999999999999999999"),
            message + "1;A;U;1;1;250;99999999999999999999");
}

// The language has no decimals: an amount written with a separator, whichever one the
// regional settings name, is refused with its field's message instead of being read as 0.
TEST(Amounts, ADecimalSeparatorIsRefusedWithTheFieldsMessage) {
  EXPECT_EQ(Check("1;A;U;1;1;2.50;100000"), "8011;Pret eronat : 1;A;U;1;1;2.50;100000");
  EXPECT_EQ(Check("1;A;U;1;1;2,50;100000"), "8011;Pret eronat : 1;A;U;1;1;2,50;100000");
  EXPECT_EQ(Check("100;50.00;1"), "8011;Pret eronat : 100;50.00;1");
  EXPECT_EQ(Check("1;A;U;1;1;250;1,5"), "8012;Cantitate eronata : 1;A;U;1;1;250;1,5");
  EXPECT_EQ(Check("5;2.50;1"), "8013;Suma mod plata eronata : 5;2.50;1");
  EXPECT_EQ(Check("7;0;1;1;0;0.50;1"), "8019;Valoare adaos/discount eronata: 7;0;1;1;0;0.50;1");
  EXPECT_EQ(Check("7;0;1;1;12.5"), "8018;Procent adaos/discount eronat : 7;0;1;1;12.5");
  EXPECT_EQ(Check("25;D;2.50"), "8022;Suma eronata : 25;D;2.50");
  EXPECT_EQ(Check("1;A;U;1;1;250;100000"), "");
}

TEST(Amounts, NoMinusSignAndNothingButDigits) {
  EXPECT_EQ(Check("1;A;U;1;1;-250;100000"), "8011;Pret eronat : 1;A;U;1;1;-250;100000");
  EXPECT_EQ(Check("1;A;U;1;1;1e3;100000"), "8011;Pret eronat : 1;A;U;1;1;1e3;100000");
  EXPECT_EQ(Check("1;A;U;1;1;+;100000"), "8011;Pret eronat : 1;A;U;1;1;+;100000");
  // Read as 0 before, since it does not fit in 64 bits.
  EXPECT_EQ(Check("1;A;U;1;1;99999999999999999999;100000"),
            "8011;Pret eronat : 1;A;U;1;1;99999999999999999999;100000");
  EXPECT_EQ(Check("5;-500;1"), "8013;Suma mod plata eronata : 5;-500;1");
  EXPECT_EQ(Check("5;-5-0;1"), "8013;Suma mod plata eronata : 5;-5-0;1");
  EXPECT_EQ(Check("7;0;1;1;0;-50;1"), "8019;Valoare adaos/discount eronata: 7;0;1;1;0;-50;1");
  EXPECT_EQ(Check("25;P;-100"), "8022;Suma eronata : 25;P;-100");
  // Cash moves by something, and by no more than the ECR's seven whole digits carry.
  EXPECT_EQ(Check("25;D;0"), "8022;Suma eronata : 25;D;0");
  EXPECT_EQ(Check("25;P;+000"), "8022;Suma eronata : 25;P;+000");
  EXPECT_EQ(Check("25;D;1000000000"), "8022;Suma eronata : 25;D;1000000000");
  EXPECT_EQ(Check("25;D;999999999"), "");
  EXPECT_EQ(Check("25;P;1"), "");
  // What sales applications write stays valid: a plus sign, leading zeros, a free item.
  EXPECT_EQ(Check("1;A;U;1;1;+0250;+100000"), "");
  EXPECT_EQ(Check("1;A;U;1;1;0;100000"), "");
  EXPECT_EQ(Check("5;0000500;1"), "");
}

TEST(Numbers, CodesThatAreNoWholeNumberAreNotReadAsZero) {
  EXPECT_EQ(Check("1;A;U;0.5;1;250;1"),
            "8009;Codul departamentului este eronat : 1;A;U;0.5;1;250;1");
  EXPECT_EQ(Check("1;A;U;1;0,0;250;1"), "8010;Codul cotei de TVA este eronata : 1;A;U;1;0,0;250;1");
  EXPECT_EQ(Check("1;A;U;99999999999;1;250;1"),
            "8009;Codul departamentului este eronat : 1;A;U;99999999999;1;250;1");
  EXPECT_EQ(Check("16;1;1.0;1;12"),
            "8033;Flagul privind modul de tiparire al cifrelor la codul de bare este eronat : "
            "16;1;1.0;1;12");
  EXPECT_EQ(Check("31;-1-2"), "8046;Cod operator nenumeric: 31;-1-2");
}

TEST(FixedNameLine, PriceAndVat) {
  EXPECT_EQ(Check("100;5000;1"), "");
  EXPECT_EQ(Check("101;5000;0;extra"), "");
  EXPECT_EQ(Check("100;5000"), "8007;Comada nu contine numarul asteptat de date : 100;5000");
  EXPECT_EQ(Check("101;;1"), "8011;Pret eronat : 101;;1");
  EXPECT_EQ(Check("100;5000;9"), "8010;Codul cotei de TVA este eronata : 100;5000;9");
}

TEST(TextLine, FieldCountsDifferByCode) {
  EXPECT_EQ(Check("2;1"), "");
  EXPECT_EQ(Check("21;1;"), "");
  EXPECT_EQ(Check("11;1"), "8007;Comada nu contine numarul asteptat de date : 11;1");
  EXPECT_EQ(Check("111;1"), "8007;Comada nu contine numarul asteptat de date : 111;1");
  EXPECT_EQ(Check("12;1;"), "8007;Comada nu contine numarul asteptat de date : 12;1;");
  EXPECT_EQ(Check("2"), "8007;Comada nu contine numarul asteptat de date : 2");
}

TEST(TextLine, FontsAndTheirLengths) {
  EXPECT_EQ(Check("2;5;" + std::string(22, 'x')), "");
  EXPECT_EQ(Check("2;5;" + std::string(23, 'x')),
            "8004;Lungimea textului este prea mare : 2;5;" + std::string(23, 'x'));
  EXPECT_EQ(Check("11;A;" + std::string(44, 'x')), "");
  EXPECT_EQ(Check("11;6;" + std::string(45, 'x')),
            "8004;Lungimea textului este prea mare : 11;6;" + std::string(45, 'x'));
  EXPECT_EQ(Check("12;D;" + std::string(72, 'x')), "");
  EXPECT_EQ(Check("12;B;" + std::string(73, 'x')),
            "8004;Lungimea textului este prea mare : 12;B;" + std::string(73, 'x'));
  // Bytes are counted, whatever the code page makes of them.
  EXPECT_EQ(Check("2;5;" + std::string(22, '\xba')), "");
}

TEST(TextLine, FontRule) {
  EXPECT_EQ(Check("2;a;x"), "8003;Parametrul FONT eronat : 2;a;x");
  EXPECT_EQ(Check("2;7;x"), "8003;Parametrul FONT eronat : 2;7;x");
  EXPECT_EQ(Check("2;0;x"), "8003;Parametrul FONT eronat : 2;0;x");
  EXPECT_EQ(Check("2;E;x"), "8003;Parametrul FONT eronat : 2;E;x");
  EXPECT_EQ(Check("2;;x"), "8003;Parametrul FONT eronat : 2;;x");
  // A numeric font of more than one character passes the font rule, never the length.
  EXPECT_EQ(Check("2;01;"), "8004;Lungimea textului este prea mare : 2;01;");
  EXPECT_EQ(Check("2;+1;x"), "8004;Lungimea textului este prea mare : 2;+1;x");
}

TEST(Payment, AmountAndCode) {
  EXPECT_EQ(Check("5;500;1"), "");
  EXPECT_EQ(Check("5;500;30;"), "");
  EXPECT_EQ(Check("5;500"), "8007;Comada nu contine numarul asteptat de date : 5;500");
  EXPECT_EQ(Check("5;5x;1"), "8013;Suma mod plata eronata : 5;5x;1");
  EXPECT_EQ(Check("5;500;2"), "8014;Cod mod de plata eronat  : 5;500;2");
  EXPECT_EQ(Check("5;500;0"), "8014;Cod mod de plata eronat  : 5;500;0");
  EXPECT_EQ(Check("5;500;31"), "8014;Cod mod de plata eronat  : 5;500;31");
  EXPECT_EQ(Check("5;500;3.0"), "8014;Cod mod de plata eronat  : 5;500;3.0");
}

TEST(Discount, FieldRulesInOrder) {
  EXPECT_EQ(Check("7;0;1;1;1000"), "");
  EXPECT_EQ(Check("7;1;0;1;10000;250;1"), "");
  EXPECT_EQ(Check("7;1;0;1;x"), "8018;Procent adaos/discount eronat : 7;1;0;1;x");
  EXPECT_EQ(Check("7;1;0;1;;250;1"), "");  // the value is taken, the percentage never read
  EXPECT_EQ(Check("7;0;1;1"), "8007;Comada nu contine numarul asteptat de date : 7;0;1;1");
  EXPECT_EQ(Check("7;2;1;1;0"), "8015;Tip functie adaos/discount eronata : 7;2;1;1;0");
  EXPECT_EQ(Check("7;0;2;1;0"), "8016;Mod aplicare adaos/discount eronat: 7;0;2;1;0");
  EXPECT_EQ(Check("7;0;1;0;0"), "8017;Mod alegere valoare adaos/discount eronat: 7;0;1;0;0");
  EXPECT_EQ(Check("7;0;1;1;10001"), "8018;Procent adaos/discount eronat : 7;0;1;1;10001");
  EXPECT_EQ(Check("7;0;1;1;-1"), "8018;Procent adaos/discount eronat : 7;0;1;1;-1");
  EXPECT_EQ(Check("7;0;1;1;0;"), "");
  EXPECT_EQ(Check("7;0;1;1;0;;1"), "8019;Valoare adaos/discount eronata: 7;0;1;1;0;;1");
  EXPECT_EQ(Check("7;0;1;1;0;5;2"), "8015;Tip adaos/discount eronat: 7;0;1;1;0;5;2");
}

TEST(Discount, NotOnTheReturnLineJustBefore) {
  const std::string returnLine = kSale + ";1;-";
  const std::string sale = kSale + ";1;+";
  const std::string empty;
  EXPECT_EQ(Check("7;0;0;1;1000", 2, &returnLine),
            "8044;Nu se poate aplica discount la o linie storno: 7;0;0;1;1000");
  EXPECT_EQ(Check("7;0;1;1;1000", 2, &returnLine), "");  // on the subtotal
  EXPECT_EQ(Check("7;0;0;1;1000", 2, &sale), "");
  EXPECT_EQ(Check("7;0;0;1;1000", 2, &empty), "");
  EXPECT_EQ(Check("7;0;0;1;1000"), "");  // first line
}

TEST(Barcode, TypeFlagAndHeight) {
  EXPECT_EQ(Check("16;1;0;1;123"), "");
  EXPECT_EQ(Check("16;9;2;9;"), "8007;Comada nu contine numarul asteptat de date : 16;9;2;9;");
  EXPECT_EQ(Check("16;10;0;1;1"), "8032;Tip cod bare eronat : 16;10;0;1;1");
  EXPECT_EQ(Check("16;1;3;1;1"),
            "8033;Flagul privind modul de tiparire al cifrelor la codul de bare este eronat : "
            "16;1;3;1;1");
  EXPECT_EQ(Check("16;1;0;0;1"),
            "8033;Parametrul INALTIME COD BARE este eronat (valori admise 1..9) : 16;1;0;0;1");
}

TEST(OperatorChange, NumericAndFirst) {
  EXPECT_EQ(Check("31;7"), "");
  EXPECT_EQ(Check("31"), "8007;Comada nu contine numarul asteptat de date : 31");
  EXPECT_EQ(Check("31;A"), "8046;Cod operator nenumeric: 31;A");
  EXPECT_EQ(Check("31;7", 2),
            "8046;Comanda de schimbare operator trebuie sa se afle pe prima linie a bonului: 31;7");
}

TEST(SmallCommands, SubtotalAndTwoPartText) {
  EXPECT_EQ(Check("8"), "");
  EXPECT_EQ(Check("8;"), "");
  EXPECT_EQ(Check("8;1"), "8007;Comada nu contine numarul asteptat de date : 8;1");
  EXPECT_EQ(Check("10;A"), "");
  EXPECT_EQ(Check("10"), "8007;Comada nu contine numarul asteptat de date : 10");
  EXPECT_EQ(Check("3;whatever;goes"), "");
}

}  // namespace
}  // namespace ruvo
