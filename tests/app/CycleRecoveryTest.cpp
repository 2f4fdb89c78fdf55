// A driver killed during a file leaves the file, its record in the journal and the ECR as
// far as it got; the next start answers it from what the ECR says, on the in-process
// simulator in virtual time.
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/InFlightJournal.h"
#include "execution/ReceiptExecutorFile.h"
#include "execution/SaleSettlement.h"
#include "platform/Files.h"
#include "platform/Sha256.h"
#include "support/ExecBench.h"

namespace ruvo::exec_testing {
namespace {

using Lines = std::vector<std::string>;

const std::string kSaleFile = "1;PAINE;BUC;1;1;250;100000\r\n5;250;1\r\n";

// What the ECR had done with the sale when the driver died.
enum class Done { Nothing, Sale, Payment, Close, Cut };

// One killed driver and its restart on the same folder and ECR.
struct Crash {
  void BringEcrTo(Done done) {
    if (done == Done::Nothing) return;
    const std::unique_ptr<TXruvoLinux> link = bench.MakeLink();
    ASSERT_TRUE(link->Engine().OpenPort(1));
    ASSERT_TRUE(link->SellItem("PAINE", 1, 2.5, 1, "BUC", 1, 1, false));
    if (done >= Done::Payment) {
      ASSERT_TRUE(link->Payment(1, "", 2.5));
    }
    if (done >= Done::Close) {
      ASSERT_TRUE(link->CloseReceipt());
    }
    if (done >= Done::Cut) {
      ASSERT_TRUE(link->CutReceipt(CutSettings{}));
    }
  }

  // What the driver notes before a sale's lines go to the ECR.
  std::optional<EcrMark> MarkNow() {
    const std::unique_ptr<TXruvoLinux> link = bench.MakeLink();
    if (!link->Engine().OpenPort(1)) return std::nullopt;
    return ReadEcrMark(*link);
  }

  void Leave(RunPhase phase, Done done, FileKind kind = FileKind::Sale,
             const std::string& number = "", bool marked = true) {
    const std::optional<EcrMark> mark = marked ? MarkNow() : std::nullopt;
    ASSERT_TRUE(!marked || mark);
    BringEcrTo(done);
    bench.Write("ONLINE.TXT", kSaleFile);
    InFlightJournal journal(bench.state.workingFolder);
    // As a journal of an older driver left it: the bytes alone tell the file.
    const DeliveryId bytesOnly{NewDeliveryToken(), false, {}, Sha256Hex(kSaleFile)};
    ASSERT_TRUE(journal.Put(InFlightRecord{
        "ONLINE.TXT", bytesOnly, "2026_01_15_12_00_00", kind, phase, 1, number, {}, mark}));
  }

  // The restarted driver's first tick; the response's lines.
  Lines Restart() {
    ReceiptFileCycle restarted(bench.state, bench.op, bench.clock, bench.execution);
    bench.commandsBefore = bench.engine.ReceivedCommands().size();
    restarted.PickUpNext();
    notes = restarted.RecoveryNotes();
    return bench.Response();
  }

  int FiscalReceipts() const {
    int n = 0;
    for (const std::string& line : const_cast<ExecBench&>(bench).engine.GetPaper().Lines()) {
      n += line.find("BON FISCAL NR. ") != std::string::npos ? 1 : 0;
    }
    return n;
  }
  bool Settled() const {
    return !FileExists(bench.Path("ONLINE.TXT")) &&
           !FileExists(bench.Path(InFlightJournal::kFileName));
  }

  ExecBench bench;
  std::vector<std::string> notes;
};

TEST(CycleRecovery, AnUnpaidReceiptIsCancelledAndTheFileRunsAgain) {
  for (const RunPhase phase : {RunPhase::Lines, RunPhase::Closing}) {
    SCOPED_TRACE(static_cast<int>(phase));
    Crash crash;
    crash.Leave(phase, Done::Sale);
    EXPECT_EQ(crash.Restart(), (Lines{"0 OK", "BON FISCAL NR. 0002"}));
    EXPECT_EQ(crash.bench.PaperLinesWith("BON ANULAT NR. 0001"), 1);
    EXPECT_EQ(crash.FiscalReceipts(), 1);
    EXPECT_LT(crash.bench.IndexOf("33028"), crash.bench.IndexOf("33021"));
    EXPECT_TRUE(crash.Settled());
    // The operator sees what happened, and so does the file's log.
    ASSERT_FALSE(crash.notes.empty());
    EXPECT_NE(crash.bench.state.warningBox.back().find("ONLINE.TXT"), std::string::npos);
  }
}

TEST(CycleRecovery, APaidOrClosedReceiptIsFinishedAndAnsweredWithoutRunningTheFileAgain) {
  struct Case {
    RunPhase phase;
    Done done;
    int cuts;  // sent by the recovery
  };
  for (const Case c :
       {Case{RunPhase::Lines, Done::Payment, 1}, Case{RunPhase::Closing, Done::Payment, 1},
        Case{RunPhase::Closing, Done::Close, 1}, Case{RunPhase::Closing, Done::Cut, 0}}) {
    SCOPED_TRACE(::testing::Message()
                 << static_cast<int>(c.phase) << " " << static_cast<int>(c.done));
    Crash crash;
    crash.Leave(c.phase, c.done);
    EXPECT_EQ(crash.Restart(), (Lines{"0 OK", "BON FISCAL NR. 0001"}));
    EXPECT_EQ(crash.bench.Sent("33021"), 0);
    EXPECT_EQ(crash.bench.Sent("3007"), 0);
    EXPECT_EQ(crash.bench.Sent("3011"), 0);
    EXPECT_EQ(crash.bench.Sent("33028"), 0);
    EXPECT_EQ(crash.bench.Sent("3014") + crash.bench.Sent("3015"), c.cuts);
    EXPECT_EQ(crash.FiscalReceipts(), 1);
    EXPECT_TRUE(crash.Settled());
  }
}

TEST(CycleRecovery, ASaleThatNeverOpenedAReceiptRunsAgain) {
  for (const RunPhase phase : {RunPhase::Preparing, RunPhase::Lines}) {
    SCOPED_TRACE(static_cast<int>(phase));
    Crash crash;
    crash.Leave(phase, Done::Nothing);
    EXPECT_EQ(crash.Restart(), (Lines{"0 OK", "BON FISCAL NR. 0001"}));
    EXPECT_EQ(crash.bench.Sent("33021"), 1);
    EXPECT_EQ(crash.FiscalReceipts(), 1);
    EXPECT_TRUE(crash.Settled());
  }
}

// What happened at the ECR between the crash and the restart decides, never the last
// number alone: a receipt cancelled at the keyboard, one lost when the ECR was switched
// off, other receipts since the sale began, or a record that noted nothing.
TEST(CycleRecovery, AReceiptTheEcrDidNotPrintIsNeverAnsweredAsPrinted) {
  struct Case {
    const char* what;
    RunPhase phase;
    Done done;
    const char* atEcr;  // the keyboard or the power switch, before the restart
    bool marked;
    Lines answer;
  };
  const Lines cancelled{"1 ERROR", kSaleCancelledAtEcr, kPendingCancelled};
  const Lines lost{"1 ERROR", kSaleLostAtEcr};
  const Lines unknown{"1 ERROR", kSaleUnknownAtEcr};
  for (const Case& c : {
           Case{"paid, cancelled", RunPhase::Closing, Done::Payment, "cancel-receipt", true,
                cancelled},
           Case{"lines, cancelled", RunPhase::Lines, Done::Sale, "cancel-receipt", true, cancelled},
           Case{"paid, power cut", RunPhase::Closing, Done::Payment, "power-cycle", true, lost},
           Case{"older record, idle ECR", RunPhase::Closing, Done::Nothing, "", false, unknown},
           Case{"older record, cancelled", RunPhase::Closing, Done::Payment, "cancel-receipt",
                false, unknown},
       }) {
    SCOPED_TRACE(c.what);
    Crash crash;
    crash.Leave(c.phase, c.done, FileKind::Sale, "", c.marked);
    if (*c.atEcr != '\0') {
      ASSERT_TRUE(crash.bench.Fault(c.atEcr));
    }
    const int printed = crash.FiscalReceipts();
    EXPECT_EQ(crash.Restart(), c.answer);
    EXPECT_EQ(crash.bench.Sent("33021") + crash.bench.Sent("3011") + crash.bench.Sent("33028"), 0);
    EXPECT_EQ(crash.FiscalReceipts(), printed);
    EXPECT_TRUE(crash.Settled());
  }
  // Another sale closed at the ECR after the mark: its number is not this sale's.
  Crash crash;
  crash.Leave(RunPhase::Closing, Done::Nothing);
  crash.BringEcrTo(Done::Cut);
  crash.BringEcrTo(Done::Cut);
  EXPECT_EQ(crash.Restart(), unknown);
}

TEST(CycleRecovery, AClosedSaleIsAnsweredFromTheJournalAlone) {
  Crash crash;
  crash.Leave(RunPhase::Closed, Done::Cut, FileKind::Sale, "0001");
  EXPECT_EQ(crash.Restart(), (Lines{"0 OK", "BON FISCAL NR. 0001"}));
  EXPECT_TRUE(crash.bench.Commands().empty());
  EXPECT_TRUE(crash.Settled());
}

TEST(CycleRecovery, AnotherKindOfFileThatHadBegunIsNotRunAgain) {
  Crash crash;
  crash.Leave(RunPhase::Lines, Done::Nothing, FileKind::Other);
  EXPECT_EQ(crash.Restart(),
            (Lines{"1 ERROR",
                   "8097;Executia fisierului a fost intrerupta. Verificati casa de marcat"}));
  EXPECT_TRUE(crash.bench.Commands().empty());
  EXPECT_TRUE(crash.Settled());
}

TEST(CycleRecovery, ASilentEcrLeavesFileAndRecordForALaterTick) {
  Crash crash;
  crash.Leave(RunPhase::Lines, Done::Payment);
  ASSERT_TRUE(crash.bench.Fault("silence always"));
  EXPECT_EQ(crash.Restart(), Lines{});
  EXPECT_TRUE(FileExists(crash.bench.Path("ONLINE.TXT")));
  EXPECT_TRUE(FileExists(crash.bench.Path(InFlightJournal::kFileName)));
  EXPECT_EQ(crash.FiscalReceipts(), 0);

  ASSERT_TRUE(crash.bench.Fault("silence off"));
  EXPECT_EQ(crash.Restart(), (Lines{"0 OK", "BON FISCAL NR. 0001"}));
  EXPECT_EQ(crash.FiscalReceipts(), 1);
  EXPECT_TRUE(crash.Settled());
}

// The recovery's own cancel or cut may be cut short in turn: the record moves with it, so
// that a cancelled receipt never passes for a closed sale, nor a finished one for a sale
// that never began.
TEST(CycleRecovery, ARecoveryCutShortIsRecoveredInTurn) {
  {
    Crash crash;
    crash.Leave(RunPhase::Closing, Done::Sale);
    ASSERT_TRUE(crash.bench.Fault("lose 3014 before"));
    EXPECT_EQ(crash.Restart(), Lines{});
    EXPECT_EQ(crash.bench.PaperLinesWith("BON ANULAT NR. 0001"), 1);
    EXPECT_EQ(crash.Restart(), (Lines{"0 OK", "BON FISCAL NR. 0002"}));
    EXPECT_EQ(crash.FiscalReceipts(), 1);
  }
  {
    Crash crash;
    crash.Leave(RunPhase::Lines, Done::Payment);
    ASSERT_TRUE(crash.bench.Fault("lose 3014 after"));
    EXPECT_EQ(crash.Restart(), Lines{});
    EXPECT_EQ(crash.FiscalReceipts(), 1);
    EXPECT_EQ(crash.Restart(), (Lines{"0 OK", "BON FISCAL NR. 0001"}));
    EXPECT_EQ(crash.bench.Sent("33021"), 0);
    EXPECT_EQ(crash.FiscalReceipts(), 1);
  }
}

TEST(CycleRecovery, OtherBytesUnderTheSameNameAreANewReceipt) {
  Crash crash;
  crash.Leave(RunPhase::Lines, Done::Payment);
  crash.bench.Write("ONLINE.TXT", "1;LAPTE;L;1;1;500;100000\r\n5;500;1\r\n");
  const Lines response = crash.Restart();
  // The new sale runs; the receipt the old run left paid is finished first and reported.
  EXPECT_EQ(response,
            (Lines{"0 OK", "BON FISCAL NR. 0002", "A FOST FINALIZAT AUTOMAT BONUL 0001"}));
  EXPECT_EQ(crash.bench.PaperLinesWith("LAPTE"), 1);
  EXPECT_TRUE(crash.Settled());
}

}  // namespace
}  // namespace ruvo::exec_testing
