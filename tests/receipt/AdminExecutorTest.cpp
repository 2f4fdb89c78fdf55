// The non-fiscal and report executor against the simulated ECR in virtual time: when a
// non-fiscal receipt is opened and closed, the command each line sends, the response items
// and the stop at the first failing ECR operation.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/AdminRunFixture.h"

namespace ruvo {
namespace {

using Lines = std::vector<std::string>;
using testing::AdminRunFixture;

const std::string kOpenNonFiscal =
    "40011"
    "0"
    "000000000";

class AdminExecutorTest : public AdminRunFixture {};

TEST_F(AdminExecutorTest, OnlyMarkLinesOpenAndCloseAnEmptyNonFiscalReceipt) {
  config.lastNonFiscalNumber = 41;
  Run({"20", "20"});
  EXPECT_EQ(Sent(), (Lines{kOpenNonFiscal, "1111", "4004"}));
  EXPECT_EQ(response.lines, (Lines{"0 OK", "BON NEFISCAL NR. 0042"}));
  EXPECT_NE(Paper().find("BON NEFISCAL NR. 0042"), std::string::npos);
}

TEST_F(AdminExecutorTest, TextsAndBarcodeGoInsideTheNonFiscalReceipt) {
  Run({"COM1", "20", "21;1;MULTUMIM", "21;2", "16;1;1;5;123456789012"});
  const Lines sent = Sent();
  ASSERT_EQ(sent.size(), 6u);
  EXPECT_EQ(sent[0], kOpenNonFiscal);
  EXPECT_EQ(sent[1],
            "4003"
            "1"
            "08"
            "MULTUMIM");
  EXPECT_EQ(sent[2],
            "4003"
            "2"
            "01"
            " ");  // an empty text prints as one blank
  EXPECT_EQ(sent[3],
            "3023"
            "01"
            "1"
            "5"
            "012"
            "123456789012");
  EXPECT_EQ(sent[5], "4004");
  EXPECT_EQ(response.lines, (Lines{"0 OK", "BON NEFISCAL NR. 0001"}));
  EXPECT_NE(Paper().find("MULTUMIM"), std::string::npos);
}

TEST_F(AdminExecutorTest, CashLinesOpenNoReceiptAndReportTheDrawer) {
  Run({"21;1;SOLD INITIAL", "25;D;12345", "25;P;2345", "25;R"});
  EXPECT_EQ(Sent(), (Lines{"4003"
                           "1"
                           "12"
                           "SOLD INITIAL",
                           "7106D"
                           "0000123"
                           "45",
                           "7106P"
                           "0000023"
                           "45",
                           "7106R"}));
  EXPECT_FALSE(WasSent("4004"));
  EXPECT_EQ(response.lines, (Lines{"0 OK", "NUMERAR SERTAR : 100.00"}));
  EXPECT_FALSE(file.response.nonFiscalReceiptNumber.has_value());
}

TEST_F(AdminExecutorTest, JournalReceiptsOfZGiveTheirReplyLine) {
  Run({"79;1;1;3"});
  EXPECT_EQ(Sent(), Lines{"8006"
                          "0001"
                          "0001"
                          "0003"});
  ASSERT_EQ(response.lines.size(), 2u);
  EXPECT_EQ(response.lines[0], "0 OK");
  EXPECT_EQ(response.lines[1].rfind("Z 0001 BONURI 0001-0003", 0), 0u) << response.lines[1];
  EXPECT_EQ(file.response.administrativeAnswer, response.lines[1]);
}

TEST_F(AdminExecutorTest, EachReportLineSendsItsCommandWithoutANonFiscalReceipt) {
  struct Case {
    std::string line;
    std::string command;
    bool acceptedByEcr = true;
  };
  const std::vector<Case> cases = {
      {"102;3",
       "2202"
       "03"},
      {"103;14",
       "2203"
       "14"},
      {"81;1;1;26;15;1;26",
       "8001"
       "01"
       "01"
       "26"
       "15"
       "01"
       "26"},
      {"82;15;1;26;1;5",
       "8002"
       "15"
       "01"
       "26"
       "0001"
       "0005"},
      {"76;1;2",
       "8003"
       "0001"
       "0002"},
      {"78;123456789",
       "8004"
       "123456789",
       false},  // beyond the journal kept so far
      {"105", "5005"},
      {"116;3;2",
       "3116"
       "3"
       "2"},
      {"42;150126;0930",
       "2001"
       "15"
       "01"
       "26"
       "09"
       "30"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Run({c.line});
    const Lines sent = Sent();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0], c.command);
    // The typed reports poll "1010" while they print; nothing else goes with a line.
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                            [](const std::string& t) { return t != "1010"; }),
              1);
    if (c.acceptedByEcr)
      EXPECT_EQ(response.lines, Lines{"0 OK"});
    else
      EXPECT_EQ(response.lines[0], "1 ERROR");
  }
}

TEST_F(AdminExecutorTest, ExportWithoutTransferOnlyAsksTheEcr) {
  Run({"416;2026;1;R;"});
  EXPECT_EQ(Sent(), Lines{"6416"
                          "2026"
                          "01"
                          "R"});
  EXPECT_EQ(response.lines, Lines{"0 OK"});
}

TEST_F(AdminExecutorTest, FailingCommandStopsTheFileWithItsError) {
  OpenLink();
  Control("err 2202 16 once");
  Run({"25;D;1000", "102;3", "25;R"});
  EXPECT_EQ(Sent(), (Lines{"7106D"
                           "0000010"
                           "00",
                           "2202"
                           "03"}));
  ASSERT_EQ(response.lines.size(), 2u);
  EXPECT_EQ(response.lines[0], "1 ERROR");
  EXPECT_EQ(response.lines[1], link->Engine().LastError());
  EXPECT_EQ(response.lines[1].rfind("16;", 0), 0u);
  // The cash already taken in stays done; its drawer line belongs to a finished file only.
  EXPECT_FALSE(file.response.drawerCash.has_value());
}

TEST_F(AdminExecutorTest, FailingTextLeavesTheNonFiscalReceiptOpen) {
  OpenLink();
  Control("err 4003 16 once skip 1");
  Run({"20", "21;1;UNU", "21;1;DOI", "21;1;TREI"});
  EXPECT_EQ(Sent(), (Lines{kOpenNonFiscal,
                           "4003"
                           "1"
                           "03"
                           "UNU",
                           "4003"
                           "1"
                           "03"
                           "DOI"}));
  EXPECT_EQ(response.lines[0], "1 ERROR");
  EXPECT_EQ(response.lines[1].rfind("16;", 0), 0u);
  EXPECT_FALSE(file.response.nonFiscalReceiptNumber.has_value());
}

TEST_F(AdminExecutorTest, RefusedOpeningSendsNothingElse) {
  OpenLink();
  Control("err 40011 21 once");
  Run({"20", "21;1;TEXT"});
  EXPECT_EQ(Sent(), Lines{kOpenNonFiscal});
  EXPECT_EQ(response.texts, Lines{link->Engine().LastError()});
  EXPECT_EQ(link->Engine().LastError().rfind("21;", 0), 0u);
}

TEST_F(AdminExecutorTest, RefusedCloseIsTheFilesError) {
  OpenLink();
  Control("err 4004 16 once");
  Run({"20", "21;1;TEXT"});
  EXPECT_EQ(response.lines[0], "1 ERROR");
  EXPECT_EQ(response.lines[1].rfind("16;", 0), 0u);
  EXPECT_FALSE(file.response.nonFiscalReceiptNumber.has_value());
}

TEST_F(AdminExecutorTest, LinkThatIsNotOpenAnswers8001AndSendsNothing) {
  Ecr();
  fileLines = {"21;1;TEXT"};
  validation = ValidateReceiptLines(fileLines, ValidationOptions{true});
  ReceiptRun run{state, file, op, clock, response, fileLines, validation, log};
  ExecuteNonFiscalAndReports(run, *link);
  EXPECT_TRUE(Ecr().ReceivedCommands().empty());
  ASSERT_EQ(response.lines.size(), 2u);
  EXPECT_EQ(response.lines[1].rfind("8001;", 0), 0u) << response.lines[1];
}

}  // namespace
}  // namespace ruvo
