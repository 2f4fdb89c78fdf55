// Receipt files whose ECR refuses something: the error-handling modes, the automatic cancel
// and restart, refused payment forms, the pending-receipt check, receipts left open, and
// every way a file is refused before or after its lines.
#include <gtest/gtest.h>

#include "execution/ReceiptExecutor.h"
#include "support/ExecBench.h"

namespace ruvo::exec_testing {
namespace {

using Lines = std::vector<std::string>;

const Lines kSale = {"1;PAINE;BUC;1;1;250;100000", "5;250;1"};

// Leaves a fiscal receipt open in the ECR, as a file that failed half way would.
void LeaveReceiptOpen(ExecBench& bench, bool paid) {
  const std::unique_ptr<TXruvoLinux> link = bench.MakeLink();
  ASSERT_TRUE(link->Engine().OpenPort(1));
  ASSERT_TRUE(link->SellItem("VECHI", 1, 2.5, 1, "BUC", 1, 1, false));
  ASSERT_TRUE(paid ? link->Payment(1, "", 2.5) : link->Command3003());
}

std::string First(const Lines& lines, std::size_t i) { return i < lines.size() ? lines[i] : ""; }

TEST(ExecZReportDue, WithoutTheDialogTheFileFails) {
  ExecBench bench;
  ASSERT_TRUE(bench.Fault("z-due"));
  const Lines response = bench.Run(kSale);
  EXPECT_EQ(response, (Lines{"1 ERROR", "61;Au trecut 24 ore de la ultimul raport fiscal Z"}));
  EXPECT_TRUE(bench.op.boxes.empty());
  EXPECT_EQ(bench.Sent("2002"), 0);
  EXPECT_EQ(bench.Sent("3011"), 0);
}

TEST(ExecZReportDue, OperatorRunsTheZReportAndTheSaleIsSentAgain) {
  ExecBench bench;
  bench.state.settings.tratareEroareStare = 1;
  bench.op.answers = {MsgResult::Yes};
  ASSERT_TRUE(bench.Fault("z-due"));
  const Lines response = bench.Run(kSale);
  EXPECT_EQ(response, (Lines{"0 OK", "BON FISCAL NR. 0001"}));
  ASSERT_EQ(bench.op.boxes.size(), 1u);
  EXPECT_EQ(bench.op.boxes[0].text, "24 ore de la primul bon. \rLansez automat raportul zilnic ?");
  EXPECT_EQ(bench.op.boxes[0].caption, "Atentie");
  EXPECT_EQ(bench.Sent("33021"), 2);
  EXPECT_LT(bench.IndexOf("2002"), bench.IndexOf("3007"));
  EXPECT_EQ(bench.engine.GetDevice().LastZNumber(), 1);
}

TEST(ExecZReportDue, OperatorDecliningFailsTheLine) {
  ExecBench bench;
  bench.state.settings.tratareEroareStare = 1;
  ASSERT_TRUE(bench.Fault("z-due"));
  EXPECT_EQ(First(bench.Run(kSale), 1).substr(0, 3), "61;");
  EXPECT_EQ(bench.op.boxes.size(), 1u);
  EXPECT_EQ(bench.Sent("2002"), 0);
}

TEST(ExecPaperOut, ClearedErrorCancelsTheReceiptAndRunsTheFileAgain) {
  ExecBench bench;
  bench.state.settings.tratareEroareStare = 1;
  bench.op.answers = {MsgResult::Yes};
  ASSERT_TRUE(bench.Fault("err 33021 16 once skip 1"));
  const Lines response = bench.Run(
      {"1;PAINE;BUC;1;1;250;100000", "10;MULTUMIM;", "1;LAPTE;L;1;1;600;100000", "5;850;1"});
  EXPECT_EQ(response, (Lines{"0 OK", "BON FISCAL NR. 0002"}));
  ASSERT_EQ(bench.op.boxes.size(), 1u);
  EXPECT_EQ(bench.op.boxes[0].text.substr(0, 27), "Ati eliminat eroarea ?\r\r16;");
  EXPECT_EQ(bench.op.boxes[0].caption, "Eroare imprimanta");
  EXPECT_EQ(bench.Sent("1309"), 1);
  EXPECT_EQ(bench.Sent("33028"), 1);
  EXPECT_EQ(bench.Sent("7007MULTUMIM"), 1);  // the deferred text of the given-up pass is dropped

  // The first sale went to the cancelled receipt and once more to the new one.
  const Lines paper = bench.Paper();
  std::size_t cancelled = paper.size();
  for (std::size_t i = 0; i < paper.size(); ++i) {
    if (paper[i].find("BON ANULAT NR. 0001") != std::string::npos) cancelled = i;
  }
  ASSERT_LT(cancelled, paper.size());
  int breadAfter = 0, milkAfter = 0;
  for (std::size_t i = cancelled; i < paper.size(); ++i) {
    breadAfter += paper[i].find("PAINE") != std::string::npos ? 1 : 0;
    milkAfter += paper[i].find("LAPTE") != std::string::npos ? 1 : 0;
  }
  EXPECT_EQ(breadAfter, 1);
  EXPECT_EQ(milkAfter, 1);
}

TEST(ExecPaperOut, AskedAgainWhileThePrinterStillReportsIt) {
  ExecBench bench;
  bench.state.settings.tratareEroareStare = 1;
  // Yes to the state check's question, Yes to the sale's, then No once 1309 still says so.
  bench.op.answers = {MsgResult::Yes, MsgResult::Yes, MsgResult::No};
  ASSERT_TRUE(bench.Fault("paper-out"));
  const Lines response = bench.Run(kSale);
  EXPECT_EQ(First(response, 1).substr(0, 3), "16;");
  ASSERT_EQ(bench.op.boxes.size(), 3u);
  EXPECT_EQ(bench.op.boxes[0].text.substr(0, 3), "16;");  // the state check's wording
  EXPECT_EQ(bench.op.boxes[1].text.substr(0, 22), "Ati eliminat eroarea ?");
  EXPECT_EQ(bench.Sent("1309"), 1);
  EXPECT_EQ(bench.Sent("33028"), 0);
}

TEST(ExecPaperOut, UnreadablePrinterStateConfirmsNothing) {
  ExecBench bench;
  bench.state.settings.tratareEroareStare = 1;
  bench.op.answers = {MsgResult::Yes, MsgResult::No};
  ASSERT_TRUE(bench.Fault("err 33021 16 once"));
  ASSERT_TRUE(bench.Fault("err 1309 5 always"));
  EXPECT_EQ(First(bench.Run(kSale), 1).substr(0, 3), "16;");
  EXPECT_EQ(bench.op.boxes.size(), 2u);
  EXPECT_EQ(bench.Sent("33028"), 0);
}

TEST(ExecPaperOut, WithoutTheDialogTheReceiptStaysOpenForTheNextFile) {
  ExecBench bench;
  ASSERT_TRUE(bench.Fault("err 33021 16 once skip 1"));
  const Lines failed =
      bench.Run({"1;PAINE;BUC;1;1;250;100000", "1;LAPTE;L;1;1;600;100000", "5;850;1"});
  EXPECT_EQ(First(failed, 1).substr(0, 3), "16;");
  EXPECT_TRUE(bench.engine.GetDevice().Receipt().Open());

  // The next file cancels it without a word and prints its own receipt.
  EXPECT_EQ(bench.Run(kSale), (Lines{"0 OK", "BON FISCAL NR. 0002"}));
  EXPECT_TRUE(bench.op.boxes.empty());
  EXPECT_LT(bench.IndexOf("33028"), bench.IndexOf("30140"));
  EXPECT_LT(bench.IndexOf("30140"), bench.IndexOf("33021"));
}

TEST(ExecOpenReceipt, PaidReceiptOfAFailedFileIsReportedFinished) {
  ExecBench bench;
  ASSERT_TRUE(bench.Fault("err 3011 5 once"));
  EXPECT_EQ(First(bench.Run(kSale), 0), "1 ERROR");
  EXPECT_EQ(bench.Sent("3015"), 0);

  const Lines response = bench.Run(kSale);
  EXPECT_EQ(response,
            (Lines{"0 OK", "BON FISCAL NR. 0002", "A FOST FINALIZAT AUTOMAT BONUL 0001"}));
  EXPECT_EQ(bench.Sent("30140"), 1);
  EXPECT_EQ(bench.Sent("33028"), 0);

  // A report file is told too.
  bench.Run({"1;PAINE;BUC;1;1;250;100000", "5;250;1"});
  ASSERT_TRUE(bench.Fault("err 3015 5 once"));
  bench.Run(kSale);
  EXPECT_EQ(bench.Run({"30"}), (Lines{"0 OK", "A FOST FINALIZAT AUTOMAT BONUL 0004"}));
}

TEST(ExecPaymentForm, RefusedFormIsPaidWithTheConfiguredOne) {
  ExecBench bench;
  bench.state.settings.codFormaPlata = 1;
  ASSERT_TRUE(bench.Fault("refuse-payment 4"));
  const Lines response = bench.Run({"1;PAINE;BUC;1;1;250;100000", "5;250;4"});
  EXPECT_EQ(response, (Lines{"0 OK", "BON FISCAL NR. 0001"}));
  EXPECT_EQ(bench.Sent("300704"), 1);
  EXPECT_EQ(bench.Sent("300703"), 1);
  EXPECT_EQ(bench.op.paymentFormQuestions, 0);
}

TEST(ExecPaymentForm, SecondRefusalIsNotedAndTheCloseTakesCash) {
  ExecBench bench;
  bench.state.settings.codFormaPlata = 5;
  ASSERT_TRUE(bench.Fault("refuse-payment 4"));
  ASSERT_TRUE(bench.Fault("refuse-payment 5"));
  const Lines response = bench.Run({"1;PAINE;BUC;1;1;250;100000", "5;250;4"});
  ASSERT_EQ(response.size(), 3u);
  EXPECT_EQ(response[0], "0 OK");
  EXPECT_EQ(response[2].substr(0, 3), "99;");
  EXPECT_EQ(bench.Sent("300705"), 1);
  EXPECT_EQ(bench.engine.GetDevice().Totals().drawerCash, 250);
}

TEST(ExecPaymentForm, OperatorChoosesAnotherForm) {
  ExecBench bench;
  bench.state.settings.tratareFormaPlata = 1;
  bench.op.paymentForm = 6;
  ASSERT_TRUE(bench.Fault("refuse-payment 4"));
  EXPECT_EQ(bench.Run({"1;PAINE;BUC;1;1;250;100000", "5;250;4"}),
            (Lines{"0 OK", "BON FISCAL NR. 0001"}));
  EXPECT_EQ(bench.op.paymentFormQuestions, 1);
  EXPECT_EQ(bench.Sent("300706"), 1);
}

TEST(ExecPaymentForm, OperatorCancellingGivesTheReceiptUp) {
  ExecBench bench;
  bench.state.settings.tratareFormaPlata = 1;
  ASSERT_TRUE(bench.Fault("refuse-payment 4"));
  const Lines response = bench.Run({"1;PAINE;BUC;1;1;250;100000", "5;250;4"});
  ASSERT_EQ(response.size(), 2u);
  EXPECT_EQ(response[0], "1 ERROR");
  EXPECT_EQ(response[1].substr(0, 3), "99;");
  EXPECT_LT(bench.IndexOf("33028"), bench.IndexOf("3011"));
  EXPECT_LT(bench.IndexOf("3011"), bench.IndexOf("30140"));
  EXPECT_FALSE(bench.engine.GetDevice().Receipt().Open());
  EXPECT_EQ(bench.engine.GetDevice().Totals().cancelled, 1);
}

TEST(ExecPendingReceipt, EachReceiptStateHasItsAnswer) {
  ExecBench bench;
  EXPECT_EQ(bench.Run({"9999"}), (Lines{"0 OK", "#0;NU EXISTA BON IN DERULARE"}));
  EXPECT_EQ(bench.Sent("1215"), 0);  // the state check is skipped

  LeaveReceiptOpen(bench, false);
  EXPECT_EQ(bench.Run({"9999"}),
            (Lines{"0 OK", "#1;BONUL FISCAL A FOST ANULAT. RETRANSMITETI BONUL FISCAL."}));
  EXPECT_EQ(bench.Sent("33028"), 1);
  EXPECT_FALSE(bench.engine.GetDevice().Receipt().Open());

  LeaveReceiptOpen(bench, true);
  EXPECT_EQ(bench.Run({"9999"}),
            (Lines{"0 OK", "#2;BONUL FISCAL A FOST FINALIZAT. PRELUCRATI BONUL IN APLICATIE."}));
  EXPECT_EQ(bench.Sent("30140"), 1);
  EXPECT_EQ(bench.engine.GetDevice().LastReceiptNumber(), 2);

  LeaveReceiptOpen(bench, false);
  ASSERT_TRUE(bench.Fault("err 33028 5 once"));
  const Lines failed = bench.Run({"9999"});
  ASSERT_EQ(failed.size(), 3u);
  EXPECT_EQ(failed[0], "1 ERROR");
  EXPECT_EQ(failed[2], "#1;BONUL FISCAL A FOST ANULAT. RETRANSMITETI BONUL FISCAL.");
}

TEST(ExecRefusedBeforeTheLines, PortThatCannotBeOpened) {
  ExecBench bench;
  bench.firstPort = 2;
  bench.lastPort = 2;
  bench.state.settings.logFile = true;
  EXPECT_EQ(bench.Run(kSale), (Lines{"1 ERROR", "8001;Eroare la deschiderea portului serial"}));
  EXPECT_TRUE(bench.Commands().empty());
}

TEST(ExecRefusedBeforeTheLines, NegativePortNumberIsNoPortAtAll) {
  ExecBench bench;  // the ECR answers on port 1, where "COM-3" used to fall back to
  std::vector<std::string> lines = kSale;
  lines.insert(lines.begin(), "COM-3");
  EXPECT_EQ(bench.Run(lines), (Lines{"1 ERROR", "8001;Eroare la deschiderea portului serial"}));
  EXPECT_TRUE(bench.Commands().empty());
}

TEST(ExecPendingReceipt, ReadsNoStatusSoCarriesNoWarningOfTheFileBefore) {
  ExecBench bench;
  ASSERT_TRUE(bench.Fault("paper-near-end"));
  EXPECT_EQ(First(bench.Run(kSale), 2), "8024;ATENTIE ! SE TERMINA HARTIA");
  EXPECT_EQ(bench.Run({"9999"}), (Lines{"0 OK", "#0;NU EXISTA BON IN DERULARE"}));
  // The warning box keeps it: the operator still has to change the paper.
  EXPECT_TRUE(bench.state.warnings.paperNearEnd);
  EXPECT_EQ(First(bench.Run(kSale), 2), "8024;ATENTIE ! SE TERMINA HARTIA");
}

TEST(ExecRefusedBeforeTheLines, StateCheckRefusalAndWarnings) {
  ExecBench bench;
  ASSERT_TRUE(bench.Fault("cover-open"));
  EXPECT_EQ(First(bench.Run(kSale), 1).substr(0, 3), "37;");
  EXPECT_EQ(bench.Sent("33021"), 0);

  ASSERT_TRUE(bench.Fault("cover-open off"));
  ASSERT_TRUE(bench.Fault("paper-near-end"));
  ASSERT_TRUE(bench.Fault("not-fiscalized"));
  const Lines response = bench.Run(kSale);
  EXPECT_EQ(First(response, 0), "0 OK");
  EXPECT_EQ(First(response, 2), "8024;ATENTIE ! SE TERMINA HARTIA");
  EXPECT_TRUE(bench.state.warnings.paperNearEnd);
  EXPECT_TRUE(bench.state.warnings.notFiscalized);
  EXPECT_FALSE(bench.state.warnings.journalAlmostFull);
}

TEST(ExecRefusedBeforeTheLines, RefusedFileKeepsTheExchangeInItsLog) {
  ExecBench bench;
  bench.state.settings.logFile = true;
  ASSERT_TRUE(bench.Fault("mf-full"));
  EXPECT_EQ(First(bench.Run(kSale), 1).substr(0, 3), "51;");
  std::string log;
  for (const auto& entry : std::filesystem::directory_iterator(bench.state.logFolder)) {
    log += bench.Read("Log/" + entry.path().filename().string());
  }
  EXPECT_NE(log.find("-Calculator : 1215"), std::string::npos);
}

TEST(ExecRefusedBeforeTheLines, CancelFileNeedsAnOpenReceipt) {
  ExecBench bench;
  EXPECT_EQ(bench.Run({"14"}), (Lines{"1 ERROR", "8030;Nu exista nici un bon in derulare "}));
  LeaveReceiptOpen(bench, false);
  EXPECT_EQ(bench.Run({"14"}), (Lines{"0 OK"}));
  EXPECT_LT(bench.IndexOf("33028"), bench.IndexOf("30140"));
}

TEST(ExecRefusedBeforeTheLines, ReceiptThatCannotBeCleared) {
  ExecBench bench;
  LeaveReceiptOpen(bench, false);
  ASSERT_TRUE(bench.Fault("err 33028 5 always"));
  EXPECT_EQ(bench.Run(kSale), (Lines{"1 ERROR", "8020;Bon in derulare "}));
  EXPECT_EQ(bench.Sent("33021"), 0);
}

TEST(ExecRefusedBeforeTheLines, TooFewFreeJournalLines) {
  ExecBench bench;
  bench.state.jeFreeLines = 2000;
  bench.engine.GetDevice().SetJeFreeLines(400);
  const Lines refused = bench.Run(kSale);
  ASSERT_GE(refused.size(), 2u);
  EXPECT_EQ(Lines(refused.begin(), refused.begin() + 2),
            (Lines{"1 ERROR", ruvo::kJournalLowResponse}));
  EXPECT_EQ(bench.state.jeFreeLines, 400);
  EXPECT_EQ(bench.Sent("33021"), 0);

  bench.engine.GetDevice().SetJeFreeLines(600);
  const Lines response = bench.Run(kSale);
  EXPECT_EQ(First(response, 0), "0 OK");
  EXPECT_EQ(response.back().substr(0, 37), "NUMARUL DE LINII LIBERE IN JE = 600/ ");
}

TEST(ExecRefusedLines, FailingLineEndsTheFileWithTheReceiptOpen) {
  ExecBench bench;
  ASSERT_TRUE(bench.Fault("err 3003 5 once"));
  const Lines response = bench.Run({"1;PAINE;BUC;1;1;250;100000", "8", "5;250;1"});
  EXPECT_EQ(First(response, 0), "1 ERROR");
  EXPECT_EQ(First(response, 1).substr(0, 2), "5;");
  EXPECT_EQ(bench.Sent("3007"), 0);
  EXPECT_TRUE(bench.engine.GetDevice().Receipt().Open());
}

TEST(ExecRefusedLines, DeferredTextThatFailsStopsBeforeTheClose) {
  ExecBench bench;
  ASSERT_TRUE(bench.Fault("err 7007 5 once"));
  EXPECT_EQ(First(bench.Run({"1;PAINE;BUC;1;1;250;100000", "10;A;B", "5;250;1"}), 0), "1 ERROR");
  EXPECT_EQ(bench.Sent("3011"), 0);
}

TEST(ExecRefusedLines, RefusedCloseLeavesTheReceiptOpen) {
  ExecBench bench;
  ASSERT_TRUE(bench.Fault("err 3011 5 once"));
  EXPECT_EQ(First(bench.Run(kSale), 0), "1 ERROR");
  // Only the one that noted the ECR's state before the lines: no number after the close.
  EXPECT_EQ(bench.Sent("1112"), 1);
  EXPECT_TRUE(bench.engine.GetDevice().Receipt().Open());
}

TEST(ExecRefusedLines, CloseWithPaperOutClearedByTheOperator) {
  ExecBench bench;
  bench.state.settings.tratareEroareStare = 1;
  bench.op.answers = {MsgResult::Yes};
  ASSERT_TRUE(bench.Fault("err 3011 16 once"));
  EXPECT_EQ(bench.Run(kSale), (Lines{"0 OK", "BON FISCAL NR. 0001"}));
  EXPECT_EQ(bench.Sent("3015"), 1);
  EXPECT_EQ(bench.engine.GetDevice().LastReceiptNumber(), 1);
}

TEST(ExecRefusedLines, FailedCutAfterTheCloseIsStillASale) {
  ExecBench bench;
  ASSERT_TRUE(bench.Fault("err 3015 67 once"));
  const Lines response = bench.Run(kSale);
  ASSERT_EQ(response.size(), 3u);
  EXPECT_EQ(response[0], "0 OK");
  EXPECT_EQ(response[1], "BON FISCAL NR. 0001");
  EXPECT_EQ(response[2].substr(0, 3), "67;");
  const std::string hint =
      " transmiteti un bon nou sau verificati stare bon precedent cu comanda 9999";
  EXPECT_EQ(response[2].substr(response[2].size() - hint.size()), hint);
}

}  // namespace
}  // namespace ruvo::exec_testing
