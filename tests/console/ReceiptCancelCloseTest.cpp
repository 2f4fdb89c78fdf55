// "Anulare bon" and "Inchidere bon" on the simulated ECR: what is sent in each receipt
// state, the exact messages, the response file and the log files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/ManualOperations.h"
#include "support/ConsoleRig.h"
#include "support/FileBytes.h"

namespace ruvo {
namespace {

using Texts = std::vector<std::string>;

class ReceiptCancelCloseTest : public testing::ConsoleRig {
 protected:
  Texts ResponseFile() {
    return ReadLines(state.workingFolder + "ERROR.TXT").value_or(Texts{"(none)"});
  }
};

// The sales application read the answer of its last file as final: a manual operation's
// refusal is the operator's business (and the log's), not the sales application's.
TEST_F(ReceiptCancelCloseTest, CancelWithoutAnOpenReceiptSaysSoAndLeavesTheLastAnswerAlone) {
  // The last receipt file was ONLINE7.TXT.
  state.settings.history = true;
  const std::string answer = "0 OK\r\nBON FISCAL NR. 0007\r\n";
  const std::string earlier = state.historyFolder + "ERROR7_2026_01_15_11_00_00.TXT";
  CreateFolders(state.historyFolder);
  testing::WriteBytes(earlier, answer);
  testing::WriteBytes(state.workingFolder + "ERROR7.TXT", answer);

  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(RunReceiptCancel(Context()));
  const std::string logged = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(Sent(), Texts{"1215"});
  ASSERT_EQ(op.boxes.size(), 1u);
  EXPECT_EQ(op.boxes[0].text,
            "Operatie anulare nereusita  !\r8030;Nu exista nici un bon in derulare ");
  EXPECT_EQ(op.boxes[0].caption, "Eroare");
  EXPECT_EQ(op.boxes[0].kind, MsgKind::Warning);
  EXPECT_NE(logged.find("8030;Nu exista nici un bon in derulare"), std::string::npos) << logged;
  EXPECT_EQ(testing::ReadBytes(state.workingFolder + "ERROR7.TXT"), answer);
  EXPECT_EQ(testing::ReadBytes(earlier), answer);
  EXPECT_EQ(Files("History", "ERROR*"), Texts{"ERROR7_2026_01_15_11_00_00.TXT"});

  // "DialogMesajEroare" is about answers to receipt files: the operator sees it once.
  op.boxes.clear();
  state.settings.dialogMesajEroare = true;
  ::testing::internal::CaptureStderr();
  RunReceiptCancel(Context());
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(op.BoxTexts(), (Texts{"Operatie anulare nereusita  !\r8030;Nu exista nici un bon in "
                                  "derulare "}));
}

TEST_F(ReceiptCancelCloseTest, CancelSendsOnlyTheCancelAndWritesBothLogs) {
  state.settings.logFile = true;
  state.settings.history = true;
  state.settings.longTimeOut = 44;
  OpenReceipt(2);
  EXPECT_TRUE(RunReceiptCancel(Context()));
  EXPECT_EQ(Sent(), (Texts{"1215", "33028"}));  // no paper cut
  EXPECT_FALSE(engine.GetDevice().Receipt().Open());
  EXPECT_TRUE(op.boxes.empty());
  EXPECT_FALSE(FileExists(state.workingFolder + "ERROR.TXT"));

  const Texts logs = Files("Log", "Log_ANULARE_*.TXT");
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(Files("History", "*"), logs);
  const std::string log = testing::ReadBytes(state.logFolder + logs[0]);
  EXPECT_EQ(testing::ReadBytes(state.historyFolder + logs[0]), log);
  EXPECT_NE(log.find("-Calculator : 33028\r\n"), std::string::npos);
}

TEST_F(ReceiptCancelCloseTest, CancelRefusedByTheEcrHasItsOwnMessageWithoutTheError) {
  OpenReceipt(1);
  Fault("err 33028 5 once");
  EXPECT_FALSE(RunReceiptCancel(Context()));
  EXPECT_EQ(op.BoxTexts(), Texts{"Operatie de anulare nereusita !"});
  EXPECT_TRUE(engine.GetDevice().Receipt().Open());
}

TEST_F(ReceiptCancelCloseTest, CancelStoppedByAFullJournalShowsItOnTheDisplay) {
  OpenReceipt(1);
  Fault("je-full");
  EXPECT_FALSE(RunReceiptCancel(Context()));
  ASSERT_EQ(op.boxes.size(), 1u);
  EXPECT_EQ(op.boxes[0].text.substr(0, 33), "Operatie anulare nereusita  !\r30;");
  const Texts sent = Sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].substr(0, 4), "7007");
  EXPECT_EQ(ResponseFile(), Texts{"(none)"});
  EXPECT_TRUE(engine.GetDevice().Receipt().Open());
}

TEST_F(ReceiptCancelCloseTest, CloseActsOnTheReceiptState) {
  state.settings.longTimeOut = 50;
  // Paid: finished with a partial cut and no feed.
  OpenReceipt(5);
  EXPECT_TRUE(RunReceiptClose(Context()));
  EXPECT_EQ(Sent(), (Texts{"1012", "30140"}));
  EXPECT_FALSE(engine.GetDevice().Receipt().Open());

  // Still selling (states 1 to 4): cancelled, no cut.
  for (const int receiptState : {1, 3, 4}) {
    OpenReceipt(receiptState);
    EXPECT_TRUE(RunReceiptClose(Context())) << receiptState;
    EXPECT_EQ(Sent(), (Texts{"1012", "33028"})) << receiptState;
    EXPECT_FALSE(engine.GetDevice().Receipt().Open());
  }
  EXPECT_TRUE(op.boxes.empty());
}

TEST_F(ReceiptCancelCloseTest, CloseWithNothingOpenSendsNothingMoreButKeepsTheLog) {
  state.settings.logFile = true;
  EXPECT_TRUE(RunReceiptClose(Context()));
  EXPECT_EQ(Sent(), Texts{"1012"});
  EXPECT_TRUE(op.boxes.empty());
  EXPECT_EQ(Files("Log", "Log_INCHIDEREBON_*.TXT").size(), 1u);
}

TEST_F(ReceiptCancelCloseTest, CloseFailuresHaveTheirThreeMessages) {
  Fault("err 1012 5 always");
  EXPECT_FALSE(RunReceiptClose(Context()));
  ASSERT_EQ(op.boxes.size(), 1u);
  EXPECT_EQ(op.boxes[0].text.substr(0, 23), "Operatie nereusita  !\r5");
  EXPECT_EQ(op.boxes[0].caption, "Eroare");
  Fault("err off");

  OpenReceipt(2);
  Fault("err 33028 5 once");
  EXPECT_FALSE(RunReceiptClose(Context()));
  EXPECT_EQ(op.boxes.back().text, "Operatie  nereusita !");
  EXPECT_TRUE(RunReceiptClose(Context()));  // the second try cancels it

  OpenReceipt(5);
  Fault("err 3014 5 once");
  EXPECT_FALSE(RunReceiptClose(Context()));
  EXPECT_EQ(op.boxes.back().text, "Operatie nereusita !");
  EXPECT_EQ(op.boxes.size(), 3u);
}

TEST_F(ReceiptCancelCloseTest, CloseTellsTheLogLinesWhenDiagnosticsAreOn) {
  state.settings.logFile = true;
  state.settings.history = true;
  state.settings.mesajLaListareItem = true;
  OpenReceipt(5);
  EXPECT_TRUE(RunReceiptClose(Context()));
  const Texts logs = Files("Log", "Log_INCHIDEREBON_*.TXT");
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(Files("History", "*"), logs);
  const std::string lines = std::to_string(ReadLines(state.logFolder + logs[0])->size());
  ASSERT_EQ(op.boxes.size(), 2u);
  EXPECT_EQ(op.boxes[0].text, "Salvez in fisierul de LOG " + lines + " linii");
  EXPECT_EQ(op.boxes[1].text, "Salvez in History fisierul de LOG cu " + lines + " linii");
  EXPECT_EQ(op.boxes[0].kind, MsgKind::Information);

  // Without History only the first; without the log none.
  op.boxes.clear();
  state.settings.history = false;
  RunReceiptClose(Context());
  EXPECT_EQ(op.boxes.size(), 1u);
  state.settings.logFile = false;
  RunReceiptClose(Context());
  EXPECT_EQ(op.boxes.size(), 1u);
}

}  // namespace
}  // namespace ruvo
