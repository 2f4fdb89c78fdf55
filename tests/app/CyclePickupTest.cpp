#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "CycleTestSupport.h"
#include "app/ReceiptCycle.h"

namespace ruvo::testing {
namespace {

class CyclePickup : public ::testing::Test, public CycleFixtureBase {
 protected:
  ReceiptFileCycle cycle{state, op, clock, execution};
};

const std::string kSale = "1;ITEM;PCS;1;1;250;200000\r\n5;500;1\r\n";

TEST(CycleSuffix, IsWhatFollowsOnlineBeforeTheFirstDot) {
  EXPECT_EQ(ReceiptSuffix("ONLINE.TXT"), "");
  EXPECT_EQ(ReceiptSuffix("ONLINE7.TXT"), "7");
  EXPECT_EQ(ReceiptSuffix("online7.txt"), "7");
  EXPECT_EQ(ReceiptSuffix("ONLINE_POS1.TXT"), "_POS1");
  EXPECT_EQ(ReceiptSuffix("ONLINE.X.TXT"), "");
}

TEST_F(CyclePickup, AnswersEachSuffixInItsOwnResponseFile) {
  Drop("ONLINE7.TXT", kSale);
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(Read("ERROR7.TXT"), "0 OK\r\n");
  EXPECT_FALSE(Exists(PathOf("ONLINE7.TXT")));

  Drop("online7.txt", kSale);
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_FALSE(Exists(PathOf("online7.txt")));
  EXPECT_EQ(execution.receipts, 2);
  EXPECT_TRUE(Exists(PathOf("ERROR7.TXT")));

  Drop("ONLINE.TXT", kSale);
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(Read("ERROR.TXT"), "0 OK\r\n");
}

TEST_F(CyclePickup, NothingWaitingLeavesTheTickToTheConnectionCheck) {
  Drop("ERROR.TXT", "0 OK\r\n");
  Drop("ONLINE.TXT.bak", kSale);
  EXPECT_FALSE(cycle.PickUpNext());
  EXPECT_FALSE(state.busy);
  EXPECT_EQ(clock.MonotonicMs(), 0);
  EXPECT_EQ(execution.prepares, 0);
}

TEST_F(CyclePickup, ABusyDriverTakesNoFile) {
  Drop("ONLINE.TXT", kSale);
  state.busy = true;
  EXPECT_FALSE(cycle.PickUpNext());
  EXPECT_TRUE(Exists(PathOf("ONLINE.TXT")));
}

TEST_F(CyclePickup, StaleResponseIsGoneBeforeTheFileRuns) {
  Drop("ERROR.TXT", "0 OK\r\nBON FISCAL NR. 1\r\n");
  Drop("ONLINE.TXT", kSale);
  bool staleSeen = true;
  execution.onPrepare = [&](ReceiptRun&) { staleSeen = Exists(PathOf("ERROR.TXT")); };
  cycle.PickUpNext();
  EXPECT_FALSE(staleSeen);
  EXPECT_EQ(Read("ERROR.TXT"), "0 OK\r\n");
}

TEST_F(CyclePickup, BusyForTheWholeFileThenAPauseOfOneSecond) {
  Drop("ONLINE.TXT", kSale);
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_TRUE(execution.busyDuringRun);
  EXPECT_FALSE(state.busy);
  // A whole file is read without waiting; then the 1000 ms pause.
  EXPECT_EQ(clock.MonotonicMs(), 1000);
}

TEST_F(CyclePickup, EmptyFileIsAnsweredWithExactlyTwoLines) {
  Drop("ONLINE.TXT", "");
  cycle.PickUpNext();
  EXPECT_EQ(Read("ERROR.TXT"), "1 ERROR\r\n8005;Fisierul de intrare nu contine date\r\n");
  EXPECT_EQ(execution.prepares, 0);
  EXPECT_FALSE(Exists(PathOf("ONLINE.TXT")));
}

TEST_F(CyclePickup, FileWithNothingToDoIsAnsweredAsEmptyAndReachesNoEcr) {
  for (const char* bytes : {"\r\n\r\n\r\n", "COM1\r\n", "\r\nCOM2\r\n\r\n"}) {
    Drop("ONLINE.TXT", bytes);
    cycle.PickUpNext();
    EXPECT_EQ(Read("ERROR.TXT"), "1 ERROR\r\n8005;Fisierul de intrare nu contine date\r\n");
  }
  EXPECT_EQ(execution.prepares, 0);
}

TEST_F(CyclePickup, ValidationErrorIsAnsweredWithTheRefusedLine) {
  Drop("ONLINE.TXT", "31\r\n1;ITEM;PCS;1;1;250;200000\r\n5;500;1\r\n");
  cycle.PickUpNext();
  EXPECT_EQ(Read("ERROR.TXT"),
            "1 ERROR\r\n8007;Comada nu contine numarul asteptat de date : 31\r\n");
  EXPECT_EQ(execution.prepares, 0);
}

TEST_F(CyclePickup, DisconnectedDriverRefusesTheFileBeforeTheEcr) {
  state.connected = false;
  Drop("ONLINE.TXT", kSale);
  cycle.PickUpNext();
  EXPECT_EQ(Read("ERROR.TXT"), "1 ERROR\r\n NU POT COMUNICA CU CASA DE MARCAT\r\n");
  EXPECT_EQ(execution.prepares, 0);
}

TEST_F(CyclePickup, FailedPreparationRunsNothing) {
  execution.prepareResult = false;
  Drop("ONLINE.TXT", kSale);
  cycle.PickUpNext();
  EXPECT_EQ(execution.Executions(), 0);
  EXPECT_EQ(execution.ends, 1);
  EXPECT_EQ(Read("ERROR.TXT"), "1 ERROR\r\n8020;Bon in derulare \r\n");
}

// Every item an answer can carry about its own file, set by the first file's run: none
// reaches the next file's answer, only the fiscal series, which is the driver's.
TEST_F(CyclePickup, NothingOfAFileReachesTheNextFilesAnswerButTheFiscalSeries) {
  execution.onExecute = [&](ReceiptRun& run) {
    ResponseItems& r = run.file.response;
    r.fiscalReceiptNumber = "0007";
    r.nonFiscalReceiptNumber = "0008";
    r.extraMessage = "EXTRA";
    r.pendingReceiptState = "STARE BON";
    r.drawerCash = "+000000100";
    r.administrativeAnswer = "RASPUNS";
    r.autoFinishedReceipt = "0006";
    r.extraLines = {"old total"};
    r.statusNotRead = true;
    run.state.fiscalSeries = "AB123";
    run.state.warnings.paperNearEnd = true;
  };
  Drop("ONLINE7.TXT", kSale);
  cycle.PickUpNext();
  EXPECT_EQ(Read("ERROR7.TXT"),
            "0 OK\r\nBON FISCAL NR. 0007\r\nSerie Fiscala : AB123\r\nBON NEFISCAL NR. 0008\r\n"
            "EXTRA\r\nSTARE BON\r\nNUMERAR SERTAR : 1.00\r\nRASPUNS\r\n"
            "A FOST FINALIZAT AUTOMAT BONUL 0006\r\nold total\r\n");

  execution.onExecute = nullptr;
  Drop("ONLINE.TXT", kSale);
  cycle.PickUpNext();
  EXPECT_EQ(Read("ERROR.TXT"),
            "0 OK\r\nSerie Fiscala : AB123\r\n8024;ATENTIE ! SE TERMINA HARTIA\r\n");
  EXPECT_EQ(Read("ERROR7.TXT").substr(0, 4), "0 OK");
}

TEST(CycleWithoutExecutors, RefusesAFileItCannotPrint) {
  CycleFixtureBase f;
  UnavailableReceiptExecution unavailable;
  ReceiptFileCycle cycle(f.state, f.op, f.clock, unavailable);
  f.Drop("ONLINE.TXT", kSale);
  cycle.PickUpNext();
  EXPECT_EQ(f.Read("ERROR.TXT"), "1 ERROR\r\n" + kExecutionUnavailable + "\r\n");
  EXPECT_FALSE(Exists(f.PathOf("ONLINE.TXT")));
}

TEST_F(CyclePickup, LegacyConversionReadsTheUnitTableAfreshForEveryFile) {
  state.settings.sintaxa = 1;
  WriteBytes(PathOf("XRUVODRV.INI"), "[ConversieUM]\r\n2=KG\r\n");
  const std::string legacy = "1;MERE;x;2;1;250;1000;;;\r\n\r\n5;250;1\r\n";
  Drop("ONLINE.TXT", legacy);
  cycle.PickUpNext();
  WriteBytes(PathOf("XRUVODRV.INI"), "[ConversieUM]\r\n2=BUC\r\n");
  Drop("ONLINE.TXT", legacy);
  cycle.PickUpNext();
  ASSERT_EQ(execution.executedLines.size(), 2u);
  EXPECT_EQ(execution.executedLines[0],
            (std::vector<std::string>{"1;MERE;KG;1;1;250;100000;1;", "5;250;1;;"}));
  EXPECT_EQ(execution.executedLines[1][0], "1;MERE;BUC;1;1;250;100000;1;");
}

TEST_F(CyclePickup, HistoryAndLogCopiesShareOneStamp) {
  state.settings.history = true;
  state.settings.logFile = true;
  Drop("ONLINE_POS1.TXT", kSale);
  clock.Advance(1500);  // the stamp is the time of pickup, 12:00:01
  cycle.PickUpNext();
  const std::string stamp = "2026_01_15_12_00_01";
  EXPECT_EQ(ReadBytes(state.historyFolder + "ONLINE_POS1_" + stamp + ".TXT"), kSale);
  EXPECT_EQ(ReadBytes(state.historyFolder + "ERROR_POS1_" + stamp + ".TXT"), "0 OK\r\n");
  EXPECT_EQ(ReadBytes(state.historyFolder + "Log_POS1_" + stamp + ".TXT"),
            "12:00:00:000 receipt\r\n");
  EXPECT_EQ(ReadBytes(state.logFolder + "Log_POS1_" + stamp + ".TXT"), "12:00:00:000 receipt\r\n");
  EXPECT_EQ(Read("ERROR_POS1.TXT"), "0 OK\r\n");
}

TEST_F(CyclePickup, AnErrorInsideTheFileIsShownAnsweredLoggedAndTheFileStillDeleted) {
  state.settings.logFile = true;
  execution.throwText = "link broke";
  Drop("ONLINE.TXT", kSale);
  EXPECT_TRUE(cycle.PickUpNext());
  ASSERT_EQ(op.errors.size(), 1u);
  EXPECT_EQ(op.errors[0], "link broke");
  EXPECT_EQ(Read("ERROR.TXT"), "1 ERROR\r\n" + kProcessingFailedPrefix + "link broke\r\n");
  EXPECT_EQ(ReadBytes(state.logFolder + "Log_2026_01_15_12_00_00.TXT"), "12:00:00:000 receipt\r\n");
  EXPECT_EQ(execution.ends, 1);
  EXPECT_FALSE(Exists(PathOf("ONLINE.TXT")));
  EXPECT_FALSE(state.busy);
  EXPECT_EQ(clock.MonotonicMs(), 1000);
}

TEST_F(CyclePickup, AFileHeldOpenForWritingWaitsForItsWriterHoweverLong) {
  Drop("ONLINE.TXT", kSale);
  const int writer = ::open(PathOf("ONLINE.TXT").c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(writer, 0);
  // Another file goes meanwhile: the one being written holds nobody up.
  Drop("ONLINE2.TXT", kSale);
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(Read("ERROR2.TXT"), "0 OK\r\n");
  for (int k = 0; k < 3; ++k) {
    clock.Advance(ReceiptFileCycle::kReadRetryMs);
    EXPECT_FALSE(cycle.PickUpNext());
  }
  EXPECT_FALSE(cycle.NextLookMs().has_value());  // its close, not the time, lets it go
  EXPECT_FALSE(Exists(PathOf("ERROR.TXT")));
  EXPECT_TRUE(Exists(PathOf("ONLINE.TXT")));
  ::close(writer);
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(Read("ERROR.TXT"), "0 OK\r\n");
  EXPECT_EQ(execution.receipts, 2);
}

}  // namespace
}  // namespace ruvo::testing
