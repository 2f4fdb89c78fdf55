// The validation pass over whole files: dispatch, counted lines, presence flags, the
// file-level rules in their order and the check on returned articles.
#include <gtest/gtest.h>

#include "CheckHelpers.h"

namespace ruvo {
namespace {

using ruvo::testing::Validate;

const std::string kSale = "1;ITEM;PCS;1;1;250;200000";
const std::string kPay = "5;500;1";
const ValidationOptions kDotted{true};

TEST(Dispatch, UnknownCodesAreRefusedByteForByte) {
  EXPECT_EQ(Validate({"01;1;TEXT"}), "8006;Comanda necunoscuta : 01;1;TEXT");
  EXPECT_EQ(Validate({" 1;A;U;1;1;1;1"}), "8006;Comanda necunoscuta :  1;A;U;1;1;1;1");
  EXPECT_EQ(Validate({";"}), "8006;Comanda necunoscuta : ;");
  EXPECT_EQ(Validate({"x15"}), "8006;Comanda necunoscuta : x15");
}

TEST(Dispatch, FirstRefusedLineStopsThePass) {
  // The second line is refused; the unknown third line is never looked at, nor the
  // file-level rules (there is a sale without payment).
  EXPECT_EQ(Validate({kSale, "5;500;2", "XYZ"}), "8014;Cod mod de plata eronat  : 5;500;2");
  const ValidationResult result = ValidateReceiptLines({kSale, "5;x;1", kPay}, kDotted);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.countedLines, 2);
  EXPECT_TRUE(result.flags.sale);
  EXPECT_FALSE(result.flags.payment);
}

TEST(Dispatch, NeverRefusedCommands) {
  EXPECT_EQ(Validate({"105;anything"}), "");
  EXPECT_EQ(Validate({"9999;x;y"}), "");
  EXPECT_EQ(Validate({kSale, "3;;;"}), "");
}

// Nothing unprintable reaches the ECR: the first control character of a line is named by
// its code, its field and its place in the field, and shown as "?" in the echoed line.
TEST(Dispatch, ControlCharactersAreRefusedWithTheirFieldAndPosition) {
  EXPECT_EQ(Validate({std::string("1;ITEM\x1b"
                                  "E;PCS;1;1;250;200000"),
                      kPay}),
            "8053;Caracter de control nepermis (cod 27) in campul 1, pozitia 5 : "
            "1;ITEM?E;PCS;1;1;250;200000");
  EXPECT_EQ(Validate({kSale, std::string("2;1;A\0B", 7), kPay}),
            "8053;Caracter de control nepermis (cod 0) in campul 2, pozitia 2 : 2;1;A?B");
  EXPECT_EQ(Validate({"21;1;TAB\tTAB"}),
            "8053;Caracter de control nepermis (cod 9) in campul 2, pozitia 4 : 21;1;TAB?TAB");
  EXPECT_EQ(Validate({"\x7f"
                      "15"}),
            "8053;Caracter de control nepermis (cod 127) in campul 0, pozitia 1 : ?15");
  // Also where the fields are never read, and before the line's own checker.
  EXPECT_EQ(Validate({kSale, "3;\x01"}).substr(0, 34), "8053;Caracter de control nepermis ");
  EXPECT_EQ(Validate({"5;x\x1b;1"}).substr(0, 4), "8053");
  // Windows-1250 letters are text.
  EXPECT_EQ(Validate({"1;\xAA\xBA\xDE\xFE\x96;PCS;1;1;250;200000", kPay}), "");
}

TEST(Dispatch, ResultCarriesTheSplitFieldsOfEveryLine) {
  const ValidationResult result = ValidateReceiptLines({"COM2", "", kSale, kPay + ";"}, kDotted);
  ASSERT_TRUE(result.ok) << result.errorText;
  ASSERT_EQ(result.fields.size(), 4u);
  EXPECT_TRUE(result.fields[1].empty());
  EXPECT_EQ(result.fields[3], (Fields{"5", "500", "1"}));
  EXPECT_EQ(result.countedLines, 3);
  EXPECT_EQ(result.port, 2);
}

TEST(EmptyFile, NoLinesAtAll) {
  EXPECT_EQ(Validate({}), "8005;Fisierul de intrare nu contine date");
  EXPECT_EQ(Validate({}, false), "8005;Fisierul de intrare nu contine date");
}

TEST(EmptyFile, NoCommandLineIsNoData) {
  // Nothing to do would print an empty non-fiscal receipt and answer "0 OK".
  const ValidationResult result = ValidateReceiptLines({"", "", ""}, kDotted);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.errorText, "8005;Fisierul de intrare nu contine date");
  EXPECT_EQ(result.countedLines, 0);
  EXPECT_EQ(Validate({"", ""}, false), "8005;Fisierul de intrare nu contine date");
  EXPECT_EQ(Validate({"COM1"}), "8005;Fisierul de intrare nu contine date");
  EXPECT_EQ(Validate({"", "com 2", "COM3", ""}), "8005;Fisierul de intrare nu contine date");
  EXPECT_EQ(Validate({"COM1", "9999"}), "");
}

TEST(EmptyLines, NeitherCheckedNorCounted) {
  // An empty first line does not hide a later "first line" command.
  EXPECT_EQ(Validate({"", "15"}), "");
  EXPECT_EQ(Validate({"", "31;1", kSale, kPay}), "");
}

TEST(PortSelectionLines, CountButSetNothing) {
  EXPECT_EQ(Validate({"COM3", "15"}),
            "8027;Comanda de raport zilnic nu poate fi insotita de alte comenzi15");
  EXPECT_EQ(Validate({"COM3", "31;1", kSale, kPay}),
            "8046;Comanda de schimbare operator trebuie sa se afle pe prima linie a bonului: 31;1");
  const ValidationResult result = ValidateReceiptLines({" com 7;x", kSale, "COM9", kPay}, kDotted);
  EXPECT_TRUE(result.ok) << result.errorText;
  EXPECT_EQ(result.port, 1);  // "7;X" is no number
  EXPECT_EQ(ValidateReceiptLines({"COM9"}, kDotted).flags.fiscalGroup, false);
  EXPECT_EQ(ValidateReceiptLines({kSale, "COM9", kPay}, kDotted).port, std::nullopt);
}

TEST(PresenceFlags, SetByValidLines) {
  const ValidationResult sale =
      ValidateReceiptLines({kSale, "7;0;1;1;100", "16;1;0;1;12345", "3"}, kDotted);
  ASSERT_TRUE(sale.ok) << sale.errorText;
  EXPECT_TRUE(sale.flags.fiscalGroup);
  EXPECT_FALSE(sale.flags.nonFiscalGroup);
  EXPECT_TRUE(sale.flags.sale);
  EXPECT_TRUE(sale.flags.payment);

  const ValidationResult admin =
      ValidateReceiptLines({"21;1;HELLO", "25;D;100", "16;1;0;1;9"}, kDotted);
  ASSERT_TRUE(admin.ok) << admin.errorText;
  EXPECT_TRUE(admin.flags.nonFiscalGroup);
  EXPECT_FALSE(admin.flags.fiscalGroup);
  EXPECT_TRUE(admin.flags.cashInOut);
  EXPECT_FALSE(admin.flags.xmlExport);

  EXPECT_TRUE(ValidateReceiptLines({"19"}, kDotted).flags.mfReport);
  EXPECT_TRUE(ValidateReceiptLines({"79;1;1;1"}, kDotted).flags.jeReceiptsOfZ);
  EXPECT_TRUE(ValidateReceiptLines({"9999"}, kDotted).flags.receiptStateQuery);
}

TEST(LoneText, KeptOnlyForAOneLineFile) {
  const ValidationResult alone = ValidateReceiptLines({"", "10;A;B", ""}, kDotted);
  EXPECT_TRUE(alone.ok);
  EXPECT_TRUE(alone.flags.loneText);
  EXPECT_EQ(Validate({"10;A;B", "2;1;TEXT"}),
            "8029;Fisierul nu contine nici o linie de vanzare articol ");
  const ValidationResult inReceipt = ValidateReceiptLines({kSale, "10;A;B", kPay}, kDotted);
  EXPECT_TRUE(inReceipt.ok);
  EXPECT_FALSE(inReceipt.flags.loneText);
}

TEST(FileRules, MixedGroupsComeFirst) {
  // Also before the connection rule and the rules on sales and payments.
  EXPECT_EQ(Validate({"15", "20"}, false),
            "8021;NU SUNT ADMISE COMENZI FISCALE SI NEFISCALE IN ACELASI BON");
  EXPECT_EQ(Validate({kSale, "21;1;X"}),
            "8021;NU SUNT ADMISE COMENZI FISCALE SI NEFISCALE IN ACELASI BON");
}

TEST(FileRules, NoConnectionBeforeContentRules) {
  EXPECT_EQ(Validate({kSale}, false), " NU POT COMUNICA CU CASA DE MARCAT");
  EXPECT_EQ(Validate({"", "15", ""}, false), " NU POT COMUNICA CU CASA DE MARCAT");
  // Line errors still come before it.
  EXPECT_EQ(Validate({"8;1"}, false), "8007;Comada nu contine numarul asteptat de date : 8;1");
}

TEST(FileRules, FiscalFileNeedsASubject) {
  const std::string message = "8029;Fisierul nu contine nici o linie de vanzare articol ";
  EXPECT_EQ(Validate({"2;1;TEXT", kPay}), message);
  EXPECT_EQ(Validate({"31;1", "8"}), message);
  EXPECT_EQ(Validate({"100;500;1", "101;100;1", "3"}), message);
  EXPECT_EQ(Validate({"16;1;0;1;1"}), "");  // a barcode alone is no fiscal file
  for (const char* subject :
       {"0", "14", "15", "17", "30", "32", "9999", "27;1", "28", "24", "18;1;1;2", "19"}) {
    EXPECT_EQ(Validate({subject}), "") << subject;
  }
}

TEST(StandAlone, FirstLineFollowedByAnyOtherLineIsRefusedWithItsOwnMessage) {
  // The sale would be printed and never closed, and the file answered "0 OK".
  EXPECT_EQ(Validate({"24", kSale, kPay}),
            "8038;Comanda de citire serie fiscala nu poate fi insotita de alte comenzi24");
  EXPECT_EQ(Validate({"", "0", "", kSale, kPay}),
            "8027;Comanda de finalizare bon nu poate fi insotita de alte comenzi0");
  EXPECT_EQ(Validate({"28", "9999"}),
            "8045;Comanda de citire totalizator nu poate fi insotita de alte comenzi28");
  EXPECT_EQ(Validate({"27;1", "8"}),
            "8038;Comanda de citire totalizator nu poate fi insotita de alte comenzi27;1");
  EXPECT_EQ(Validate({"15", "COM1"}),
            "8027;Comanda de raport zilnic nu poate fi insotita de alte comenzi15");
  EXPECT_EQ(Validate({"32", "16;1;0;1;1"}),
            "8027;Comanda de raport pe departamenter nu poate fi insotita de alte comenzi32");
  // "19" without dates passes anywhere but first with company.
  EXPECT_EQ(Validate({"19", kSale, kPay}),
            "8027;Comanda de raport MF nu poate fi insotita de alte comenzi19");
  EXPECT_EQ(Validate({"116;1;0", "116;1;0"}),
            "8027;Comanda de raport MF nu poate fi insotita de alte comenzi116;1;0");
  // The file-level rules keep their order before it; alone, or with empty lines, it passes.
  EXPECT_EQ(Validate({"15", "20"}),
            "8021;NU SUNT ADMISE COMENZI FISCALE SI NEFISCALE IN ACELASI BON");
  EXPECT_EQ(Validate({"", "14", "", ""}), "");
  // A first line that is meant to be followed is not alone.
  EXPECT_EQ(Validate({"31;1", kSale, kPay}), "");
  EXPECT_EQ(Validate({"COM2", kSale, kPay}), "");
}

TEST(FileRules, SalesAndPaymentsGoTogether) {
  EXPECT_EQ(Validate({kSale}), "8026;Nu este precizat modul de plata ");
  EXPECT_EQ(Validate({"15", kPay}), "8026;Nu exista nici o linie de vanzare ");
  EXPECT_EQ(Validate({"15", "3"}), "8026;Nu exista nici o linie de vanzare ");
  EXPECT_EQ(Validate({kSale, "3"}), "");
}

TEST(FileRules, NoFreeTextAfterAPayment) {
  EXPECT_EQ(Validate({kSale, kPay, "2;1;THANK YOU"}), "5;OPERATIE IMPOSIBILA;2;1;THANK YOU");
  EXPECT_EQ(Validate({kSale, "2;1;THANK YOU", kPay}), "");
  // The prefix is tested on the raw text: "21;" and "5 ;" are something else.
  EXPECT_EQ(Validate({kSale, "3", "2;1;AFTER MARK"}), "");
  EXPECT_EQ(Validate({kSale, "5;500;1", "", "2;1;X"}), "5;OPERATIE IMPOSIBILA;2;1;X");
}

TEST(FileRules, TextLines12StandTogetherAtTheEnd) {
  EXPECT_EQ(Validate({kSale, kPay, "12;1;A"}), "");
  EXPECT_EQ(Validate({kSale, kPay, "12;1;A", "12;1;B"}), "");
  EXPECT_EQ(Validate({kSale, "12;1;A", kPay}), "5;OPERATIE IMPOSIBILA;12;1;A");
  EXPECT_EQ(Validate({kSale, kPay, "12;1;A", ""}), "5;OPERATIE IMPOSIBILA;12;1;A");
  EXPECT_EQ(Validate({kSale, kPay, "12;1;A", "", "12;1;B"}), "5;OPERATIE IMPOSIBILA;12;1;A");
}

TEST(DiscountAfterReturn, PreviousLineIsByPositionEmptyOnesIncluded) {
  const std::string returned = kSale + ";1;-";
  EXPECT_EQ(Validate({kSale, kSale, returned, "7;0;0;1;500", kPay}),
            "8044;Nu se poate aplica discount la o linie storno: 7;0;0;1;500");
  EXPECT_EQ(Validate({kSale, kSale, returned, "", "7;0;0;1;500", kPay}), "");
  EXPECT_EQ(Validate({kSale, kSale, returned, "7;0;1;1;500", kPay}), "");
  EXPECT_EQ(Validate({"7;0;0;1;500", kSale, kPay}), "");
}

TEST(ReturnsCheck, NetQuantityPerArticleAndVat) {
  // A "|" in the name does not make another article.
  EXPECT_EQ(Validate({"1;CA|FE;BUC;1;1;500;100000", "1;CAFE;BUC;1;1;500;100000;1;-", kPay}), "");
  EXPECT_EQ(Validate({"1;CAFE;BUC;1;1;500;100000;1;-", kPay, "1;CA|FE;BUC;1;1;500;100000"}), "");
  // The VAT code does.
  EXPECT_EQ(Validate({"1;CA|FE;BUC;1;1;500;100000", "1;CAFE;BUC;1;2;500;100000;1;-", kPay}),
            "8052;Nu sunt permise retururi de articole : CAFE");
  EXPECT_EQ(Validate({"1;TEA;BUC;1;1;500;100000;;-", kPay}),
            "8052;Nu sunt permise retururi de articole : TEA");
}

TEST(ReturnsCheck, FirstArticleInOrderOfFirstSaleIsNamed) {
  EXPECT_EQ(Validate(
                {"1;B;U;1;1;1;100000", "1;A;U;1;1;1;100000;1;-", "1;B;U;1;1;1;200000;1;-", kPay}),
            "8052;Nu sunt permise retururi de articole : B");
}

TEST(ReturnsCheck, ComesAfterTheFileRules) {
  EXPECT_EQ(Validate({"1;TEA;BUC;1;1;500;100000;;-"}), "8026;Nu este precizat modul de plata ");
}

TEST(ReturnsCheck, DenominatorsAreCountedExactly) {
  // One unit sold, three thirds returned: nothing left, nothing returned too many.
  EXPECT_EQ(Validate({"1;A;U;1;1;100;100000", "1;A;U;1;1;100;100000;3;-",
                      "1;A;U;1;1;100;100000;3;-", "1;A;U;1;1;100;100000;3;-", kPay}),
            "");
  EXPECT_EQ(Validate({"1;A;U;1;1;100;300000;9", "1;A;U;1;1;100;100000;3;-", kPay}), "");
  EXPECT_EQ(Validate({"1;A;U;1;1;100;100000", "1;A;U;1;1;100;100000;3;-",
                      "1;A;U;1;1;100;100000;3;-", "1;A;U;1;1;100;100000;3;-",
                      "1;A;U;1;1;100;1;9999;-", kPay}),
            "8052;Nu sunt permise retururi de articole : A");
}

TEST(NumericRule, NoSeparatorMakesAnAmountValid) {
  EXPECT_EQ(Validate({"1;A;U;1;1;2,50;100000", "5;250;1"}),
            "8011;Pret eronat : 1;A;U;1;1;2,50;100000");
  EXPECT_EQ(Validate({"1;A;U;1;1;250;100000", "5;2.50;1"}),
            "8013;Suma mod plata eronata : 5;2.50;1");
  EXPECT_EQ(Validate({"1;A;U;1;1;250;100000", "5;250;1"}), "");
}

// Every refusal that repeats a line, or a name out of one, repeats at most a kilobyte of it.
TEST(Echo, LongLinesAndNamesAreCutWithTheirLength) {
  EXPECT_EQ(EchoedText(std::string(1024, 'x')), std::string(1024, 'x'));
  EXPECT_EQ(EchoedText(std::string(1025, 'x')), std::string(1024, 'x') + " [... 1025 caractere]");

  const std::string name(5000, 'N');
  auto cut = [](const std::string& text) {
    return text.substr(0, 1024) + " [... " + std::to_string(text.size()) + " caractere]";
  };
  EXPECT_EQ(Validate({"31;" + name}), "8046;Cod operator nenumeric: " + cut("31;" + name));
  EXPECT_EQ(Validate({"x" + name}), "8006;Comanda necunoscuta : " + cut("x" + name));
  EXPECT_EQ(Validate({kSale, "7;0;1;1;0;" + name, kPay}),
            "8019;Valoare adaos/discount eronata: " + cut("7;0;1;1;0;" + name));
  EXPECT_EQ(Validate({kSale, kPay, "2;1;X;" + name}),
            "5;OPERATIE IMPOSIBILA;" + cut("2;1;X;" + name));
  EXPECT_EQ(Validate({"1;" + name + ";U;1;1;100;100000;1;-", kPay}),
            "8052;Nu sunt permise retururi de articole : " + cut(name));
}

}  // namespace
}  // namespace ruvo
