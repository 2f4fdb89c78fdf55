// Cash in and cash out: the amount check (exact to the hundredth, more than zero), the
// command with its amount, the reason in the log, and the messages.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "console/ManualOperations.h"
#include "support/ConsoleRig.h"
#include "support/FileBytes.h"

namespace ruvo {
namespace {

using Texts = std::vector<std::string>;

CashRequest Cash(CashOperation operation, const std::string& amount, char separator = ',') {
  CashRequest request;
  request.operation = operation;
  request.amountText = amount;
  request.reason = CashReasonFor(operation);
  request.decimalSeparator = separator;
  return request;
}

TEST(CashInputTest, AmountThatIsNotAPositiveNumberIsRefused) {
  for (const std::string amount : {"", ",", "abc", "1a", "1,2,3", "1.5", "-5", "-0,01", "1e3", " 5",
                                   "5 ", "+", "--1", ",,5", "5,-1"}) {
    const InputCheck check = CheckCashInput(Cash(CashOperation::CashIn, amount));
    EXPECT_FALSE(check.ok) << amount;
    EXPECT_EQ(check.message, "Suma eronata !") << amount;
    EXPECT_EQ(check.caption, "Eroare") << amount;
    EXPECT_EQ(check.kind, MsgKind::Warning) << amount;
    EXPECT_EQ(check.focus, DialogField::Amount) << amount;
  }
  for (const std::string amount : {"150,50", ",5", "5,", "+20", "0,01", "9999999,99"}) {
    EXPECT_TRUE(CheckCashInput(Cash(CashOperation::CashOut, amount)).ok) << amount;
  }
  EXPECT_TRUE(CheckCashInput(Cash(CashOperation::CashIn, "1.5", '.')).ok);
}

// Never rounded: an amount the drawer would get other than typed is refused, each way
// with its own message.
TEST(CashInputTest, ThirdDecimalZeroAndTooMuchAreRefusedWithTheirReason) {
  const std::vector<std::pair<std::string, std::string>> cases =
      {{"10,005", "Suma eronata : cel mult doua zecimale !"},
       {"2,504", "Suma eronata : cel mult doua zecimale !"},
       {"2,500", "Suma eronata : cel mult doua zecimale !"},
       {"0", "Suma eronata : suma trebuie sa fie mai mare decat zero !"},
       {"0,00", "Suma eronata : suma trebuie sa fie mai mare decat zero !"},
       {",0", "Suma eronata : suma trebuie sa fie mai mare decat zero !"},
       {"10000000", "Suma eronata : cel mult 9999999,99 !"},
       {"99999999999999999999999", "Suma eronata : cel mult 9999999,99 !"}};
  for (const auto& [amount, message] : cases) {
    const InputCheck check = CheckCashInput(Cash(CashOperation::CashIn, amount));
    EXPECT_FALSE(check.ok) << amount;
    EXPECT_EQ(check.message, message) << amount;
    EXPECT_EQ(check.focus, DialogField::Amount) << amount;
  }
}

TEST(CashInputTest, AmountEditTakesDigitsBackspaceAndTheSeparatorOnly) {
  for (const char key : {'0', '9', '\b', ','}) EXPECT_TRUE(IsAmountEditKey(key, ',')) << key;
  for (const char key : {'.', '-', '+', 'a', ' ', 'e'})
    EXPECT_FALSE(IsAmountEditKey(key, ',')) << key;
  EXPECT_TRUE(IsAmountEditKey('.', '.'));
  EXPECT_FALSE(IsNumberEditKey(','));
}

TEST(CashInputTest, ReasonFollowsTheOperationAndMustFitTheField) {
  EXPECT_EQ(CashReasonFor(CashOperation::CashIn), "SOLD INITIAL");
  EXPECT_EQ(CashReasonFor(CashOperation::CashOut), "");
  EXPECT_EQ(CashRequest{}.reason, "SOLD INITIAL");

  CashRequest request = Cash(CashOperation::CashOut, "5");
  request.reason = std::string(32, 'x');
  EXPECT_TRUE(CheckCashInput(request).ok);
  request.reason += "x";
  EXPECT_EQ(CheckCashInput(request).focus, DialogField::Reason);
  request.reason = "PLATA\r\nFURNIZOR";
  EXPECT_EQ(CheckCashInput(request).focus, DialogField::Reason);
  request.reason = std::string("PLATA\x1b", 6);
  EXPECT_EQ(CheckCashInput(request).message,
            "Motivul operatiei contine un caracter de control la pozitia 6 !");
}

class CashInOutTest : public testing::ConsoleRig {};

TEST_F(CashInOutTest, CommandCarriesTheLetterAndTheAmountAsTyped) {
  EXPECT_TRUE(RunCashInOut(Context(), Cash(CashOperation::CashIn, "150,50")));
  EXPECT_TRUE(RunCashInOut(Context(), Cash(CashOperation::CashOut, "20")));
  EXPECT_TRUE(RunCashInOut(Context(), Cash(CashOperation::CashIn, "10,05")));
  EXPECT_TRUE(RunCashInOut(Context(), Cash(CashOperation::CashIn, "2.67", '.')));
  EXPECT_TRUE(RunCashInOut(Context(), Cash(CashOperation::CashIn, "9999999,99")));
  EXPECT_TRUE(op.boxes.empty());
  EXPECT_FALSE(RunCashInOut(Context(), Cash(CashOperation::CashIn, "10,005")));
  EXPECT_FALSE(RunCashInOut(Context(), Cash(CashOperation::CashIn, "0")));
  EXPECT_EQ(Sent(), (Texts{"7106D000015050", "7106P000002000", "7106D000001005", "7106D000000267",
                           "7106D999999999"}));
}

TEST_F(CashInOutTest, WrongAmountOpensNoPort) {
  EXPECT_FALSE(RunCashInOut(Context(), Cash(CashOperation::CashOut, "-20")));
  EXPECT_EQ(op.BoxTexts(), Texts{"Suma eronata !"});
  EXPECT_EQ(ports.made, 0);
}

TEST_F(CashInOutTest, RefusedOperationIsToldWithTheError) {
  Fault("err 7106 5 once");
  EXPECT_FALSE(RunCashInOut(Context(), Cash(CashOperation::CashOut, "20")));
  ASSERT_EQ(op.boxes.size(), 1u);
  EXPECT_EQ(op.boxes[0].text.substr(0, 35), "Eroare la efectuarea operatiei !\r5;");
  EXPECT_EQ(op.boxes[0].caption, "Eroare");
  EXPECT_EQ(op.boxes[0].kind, MsgKind::Warning);
}

TEST_F(CashInOutTest, LogInTheWorkingFolderKeepsTheReasonOnALineOfItsOwn) {
  state.settings.logFile = true;
  EXPECT_TRUE(RunCashInOut(Context(), Cash(CashOperation::CashIn, "150,50")));
  const Texts logs = Files("", "Log_InOutNumerar_*.TXT");
  ASSERT_EQ(logs.size(), 1u);
  const Texts lines = *ReadLines(state.workingFolder + logs[0]);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(12), "-Motivul operatiei : SOLD INITIAL");
  EXPECT_EQ(lines[1].substr(12), "-Calculator : 7106D000015050");
}

}  // namespace
}  // namespace ruvo
