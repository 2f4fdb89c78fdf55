// The command table as one whole: every code, through the validation and through its
// executor on the simulated ECR; and the executors' refusal of a line that is no command
// of theirs, so that nothing unknown is ever answered "0 OK".
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "execution/AdminExecutor.h"
#include "execution/ReceiptExecutor.h"
#include "receipt/CommandTable.h"
#include "support/AdminRunFixture.h"
#include "support/ExecBench.h"

namespace ruvo {
namespace {

using Lines = std::vector<std::string>;

const std::string kSale = "1;PAINE;BUC;1;1;250;100000";
const std::string kPay = "5;250;1";

// A file that holds a valid line of the code, and the beginning of the ECR command that
// shows the line reached the ECR ("" for a line that sends nothing of its own); a few need
// a sale before them, or a receipt left open.
struct Sample {
  Lines file;
  std::string sent;
  Lines before = {};
  bool openReceipt = false;
};

// One sample file per command, or two for a command of either group. A command added to
// the table without a sample here fails CommandTable.EveryCodeRunsOnTheEcr.
const std::map<std::string, std::vector<Sample>>& Samples() {
  static const std::map<std::string, std::vector<Sample>> samples = {
      {"0", {{{"0"}, "30140"}}},
      {"1", {{{kSale, kPay}, "330210010000002500105PAINE"}}},
      {"100",
       {{{"1;GARANTIE;BUC;1;1;5000;100000", "100;1000;1", "5;4000;1"},
         "330240010000010000118STORNO PLATA AVANS"}}},
      {"101",
       {{{"1;GARANTIE;BUC;1;1;5000;100000", "101;50;1", "5;4950;1"},
         "330240010000000500118AMBALAJ RETURNABIL"}}},
      {"2", {{{kSale, "2;1;TEXT", kPay}, "3002"}}},
      {"3", {{{kSale, "3"}, ""}}},
      {"5", {{{kSale, kPay}, "300703"}}},
      {"7", {{{kSale, "7;0;0;1;1000", "5;1000;1"}, "3302B"}}},
      {"8", {{{kSale, "8", kPay}, "3003"}}},
      {"10", {{{"10;BUNA ZIUA"}, "7007BUNA ZIUA"}}},
      {"11", {{{kSale, "11;1;ANTET", kPay}, "3010"}}},
      {"111", {{{kSale, "111;1;SUBSOL", kPay}, "3008"}}},
      {"12", {{{kSale, kPay, "12;1;MULTUMIM;1"}, "3012"}}},
      {"9999", {{{"9999"}, "1012"}}},
      {"14", {{{"14"}, "33028", {}, true}}},
      {"15", {{{"15"}, "2002"}}},
      {"30", {{{"30"}, "2003"}}},
      {"31", {{{"31;7", kSale, kPay}, "3301O"}}},
      {"32", {{{"32"}, "2103"}}},
      {"16",
       {{{kSale, "16;2;1;5;5941234567890", kPay}, "3023"}, {{"16;1;1;5;123456789012"}, "3023"}}},
      {"17", {{{"17"}, "1004"}}},
      {"24", {{{"24"}, "1008"}}},
      {"27", {{{"27;1"}, "1113"}}},
      {"28", {{{"28"}, "7008"}}},
      {"18", {{{"18;1;1;2"}, "5001"}}},
      {"19", {{{"19"}, "5004"}}},
      {"20", {{{"20"}, ""}}},
      {"21", {{{"21;1;MULTUMIM"}, "4003"}}},
      {"25", {{{"25;D;12345"}, "7106D"}}},
      {"102", {{{"102;3"}, "2202"}}},
      {"103", {{{"103;14"}, "2203"}}},
      {"81", {{{"81;1;1;26;15;1;26"}, "8001"}}},
      {"82", {{{"82;15;1;26;1;5"}, "8002"}}},
      {"76", {{{"76;1;2"}, "8003"}}},
      {"78", {{{"78;1"}, "8004", {kSale, kPay}}}},
      {"79", {{{"79;1;1;3"}, "8006"}}},
      {"105", {{{"105"}, "5005"}}},
      {"116", {{{"116;3;2"}, "3116"}}},
      {"42", {{{"42;150126;0930"}, "2001"}}},
      {"416", {{{"416;2026;3;X"}, "6416"}}},
  };
  return samples;
}

TEST(CommandTable, EveryCodeRunsOnTheEcr) {
  for (const CommandInfo& command : AllCommands()) {
    const std::string code(command.code);
    SCOPED_TRACE("code " + code);
    const auto samples = Samples().find(code);
    ASSERT_NE(samples, Samples().end()) << "no sample file for the command";
    for (const Sample& sample : samples->second) {
      const ValidationResult validation = ValidateReceiptLines(sample.file, {true});
      ASSERT_TRUE(validation.ok) << validation.errorText;
      if (command.flag != nullptr) {
        EXPECT_TRUE(validation.flags.*(command.flag));
      }

      exec_testing::ExecBench bench;
      if (!sample.before.empty()) {
        ASSERT_EQ(bench.Run(sample.before).at(0), "0 OK");
      }
      if (sample.openReceipt) {
        const std::unique_ptr<TXruvoLinux> link = bench.MakeLink();
        ASSERT_TRUE(link->Engine().OpenPort(1));
        ASSERT_TRUE(link->SellItem("VECHI", 1, 2.5, 1, "BUC", 1, 1, false));
      }
      const Lines response = bench.Run(sample.file);
      ASSERT_FALSE(response.empty());

      EXPECT_EQ(response[0], "0 OK");
      if (!sample.sent.empty()) {
        EXPECT_GE(bench.Sent(sample.sent), 1);
      }
    }
  }
}

TEST(CommandTable, CodesAreUniqueAndFindable) {
  std::map<std::string_view, int> seen;
  for (const CommandInfo& command : AllCommands()) {
    EXPECT_EQ(++seen[command.code], 1) << command.code;
    EXPECT_EQ(FindCommand(command.code), &command);
  }
  EXPECT_EQ(FindCommand("01"), nullptr);
  EXPECT_EQ(FindCommand("COM1"), nullptr);
}

// The executors called with files the validation would never pass: they must answer with
// the unknown-command refusal before anything reaches the ECR.
class ExecutorRefusal : public testing::AdminRunFixture {
 protected:
  void RunUnchecked(const Lines& lines, bool fiscal) {
    if (!link || !link->Engine().Connected()) OpenLink();
    fileLines = lines;
    validation = ValidateReceiptLines(fileLines, ValidationOptions{true});
    firstCommand = Ecr().ReceivedCommands().size();
    ReceiptRun run{state, file, op, clock, response, fileLines, validation, log};
    if (fiscal) {
      EXPECT_FALSE(ExecuteReceipt(run, *link));
    } else {
      ExecuteNonFiscalAndReports(run, *link);
    }
  }
};

TEST_F(ExecutorRefusal, FiscalExecutorRefusesCodesOutsideTheTableAndNonFiscalOnes) {
  RunUnchecked({kSale, "XYZ;1", kPay}, true);
  EXPECT_EQ(response.texts, Lines{"8006;Comanda necunoscuta : XYZ;1"});
  EXPECT_TRUE(Sent().empty());

  response.texts.clear();
  RunUnchecked({"COM1", kSale, "21;1;TEXT", kPay}, true);
  EXPECT_EQ(response.texts, Lines{"8006;Comanda necunoscuta : 21;1;TEXT"});
  EXPECT_TRUE(Sent().empty());
}

TEST_F(ExecutorRefusal, NonFiscalExecutorRefusesCodesOutsideTheTableAndFiscalOnes) {
  RunUnchecked({"20", "21;1;TEXT", "99"}, false);
  EXPECT_EQ(response.texts, Lines{"8006;Comanda necunoscuta : 99"});
  EXPECT_TRUE(Sent().empty());

  response.texts.clear();
  RunUnchecked({"COM1", "15"}, false);
  EXPECT_EQ(response.texts, Lines{"8006;Comanda necunoscuta : 15"});
  EXPECT_TRUE(Sent().empty());

  // A port-selection line and a barcode are served; the file runs.
  response.texts.clear();
  RunUnchecked({"COM1", "16;1;1;5;123456789012"}, false);
  EXPECT_EQ(response.texts, Lines{"0 OK"});
  EXPECT_TRUE(WasSent("3023"));
}

}  // namespace
}  // namespace ruvo
