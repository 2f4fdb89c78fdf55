// A receipt file is one delivery: the file, not its bytes. What a killed or failed end of a
// file leaves behind must never claim the next customer's file with the same goods, and
// a file must never be deleted unless it is the one that ran.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "CycleTestSupport.h"
#include "app/InFlightJournal.h"
#include "app/ReceiptDelivery.h"
#include "platform/FileMask.h"
#include "platform/Files.h"
#include "platform/Sha256.h"

namespace ruvo::testing {
namespace {

const std::string kSale = "1;ITEM;PCS;1;1;250;200000\r\n5;500;1\r\n";
const std::string kNonFiscal = "20\r\n21;1;COMANDA NR. 12\r\n";

std::uint64_t InodeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Renames a new file with bytes in under name, as a careful sales application delivers.
void Deliver(const std::string& folder, const std::string& name, const std::string& bytes) {
  const std::string temporary = folder + "/ONLINE.TMP";
  WriteBytes(temporary, bytes);
  ASSERT_EQ(std::rename(temporary.c_str(), (folder + "/" + name).c_str()), 0);
}

class DeliveryRule : public ::testing::Test {
 protected:
  std::optional<DeliveryId> Claim(const std::string& name = "ONLINE.TXT") {
    const std::string path = folder.Path() + "/" + name;
    const std::optional<FileIdentity> read = IdentityOf(path);
    if (!read) return std::nullopt;
    return ClaimDelivery(folder.Path(), name, *read, Sha256Hex(ReadBytes(path)), files);
  }
  DeliveryMatch Match(const DeliveryId& id, const std::string& name = "ONLINE.TXT") {
    return MatchDelivery(folder.Path(), name, id);
  }

  TempFolder folder;
  StubbornFileOperations files;
};

TEST_F(DeliveryRule, APinnedFileStaysItselfThroughATouchOrARewriteOfItsOwnBytes) {
  Deliver(folder.Path(), "ONLINE.TXT", kSale);
  const std::optional<DeliveryId> id = Claim();
  ASSERT_TRUE(id);
  EXPECT_TRUE(id->pinned);
  EXPECT_TRUE(FileExists(folder / PinName(id->token)));
  EXPECT_EQ(Match(*id), DeliveryMatch::Same);

  SetLastWrite(folder / "ONLINE.TXT", LocalDateTime{2030, 1, 1, 0, 0, 0, 0});
  WriteBytes(folder / "ONLINE.TXT", kSale);
  EXPECT_EQ(Match(*id), DeliveryMatch::Same);

  // Other bytes in the same file are another receipt.
  WriteBytes(folder / "ONLINE.TXT", kSale + kSale);
  EXPECT_EQ(Match(*id), DeliveryMatch::Other);
}

TEST_F(DeliveryRule, TheNextFileWithTheSameBytesIsAnotherDeliveryAndNeverGetsThePinnedInode) {
  Deliver(folder.Path(), "ONLINE.TXT", kSale);
  const std::optional<DeliveryId> id = Claim();
  ASSERT_TRUE(id);
  const std::uint64_t inode = InodeOf(folder / "ONLINE.TXT");
  ASSERT_EQ(::unlink((folder / "ONLINE.TXT").c_str()), 0);
  EXPECT_EQ(Match(*id), DeliveryMatch::Gone);
  for (int i = 0; i < 20; ++i) {
    Deliver(folder.Path(), "ONLINE.TXT", kSale);
    EXPECT_NE(InodeOf(folder / "ONLINE.TXT"), inode);
    EXPECT_EQ(Match(*id), DeliveryMatch::Other);
    ASSERT_EQ(::unlink((folder / "ONLINE.TXT").c_str()), 0);
  }
  // A finished delivery's pin is gone: nothing is it any more, not even the file itself.
  Deliver(folder.Path(), "ONLINE.TXT", kSale);
  ASSERT_TRUE(ReleasePin(folder.Path(), *id, files));
  EXPECT_EQ(Match(*id), DeliveryMatch::Other);
}

TEST_F(DeliveryRule, WithoutLinksTheBirthTimeTellsAReusedInodeApart) {
  files.linkWorks = false;
  Deliver(folder.Path(), "ONLINE.TXT", kSale);
  const std::optional<DeliveryId> id = Claim();
  ASSERT_TRUE(id);
  EXPECT_FALSE(id->pinned);
  EXPECT_EQ(ListMatching(folder.Path(), ".ruvodrv-*"), std::vector<std::string>{});
  SetLastWrite(folder / "ONLINE.TXT", LocalDateTime{2030, 1, 1, 0, 0, 0, 0});
  EXPECT_EQ(Match(*id), DeliveryMatch::Same);
  if (id->origin.birthNs == 0) GTEST_SKIP() << "this file system keeps no birth time";
  ASSERT_EQ(::unlink((folder / "ONLINE.TXT").c_str()), 0);
  Deliver(folder.Path(), "ONLINE.TXT", kSale);
  EXPECT_EQ(Match(*id), DeliveryMatch::Other)
      << "inode " << id->origin.inode << " now " << InodeOf(folder / "ONLINE.TXT");
}

TEST_F(DeliveryRule, AFileChangedSinceItWasReadIsNotClaimed) {
  Deliver(folder.Path(), "ONLINE.TXT", kSale);
  const std::optional<FileIdentity> read = IdentityOf(folder / "ONLINE.TXT");
  ASSERT_TRUE(read);
  Deliver(folder.Path(), "ONLINE.TXT", kSale);
  EXPECT_FALSE(ClaimDelivery(folder.Path(), "ONLINE.TXT", *read, Sha256Hex(kSale), files));
  EXPECT_EQ(ListMatching(folder.Path(), ".ruvodrv-*"), std::vector<std::string>{});
}

TEST(DeliveryNames, PrivateNamesMatchNoMaskAndAreToldApart) {
  const std::string token = NewDeliveryToken();
  EXPECT_NE(token, NewDeliveryToken());
  for (const std::string& name : {PinName(token), LeavingName(token, "online7.txt")}) {
    for (const char* mask : {"ONLINE*.TXT", "ERROR*.TXT", "log*.txt", "wait*.txt"}) {
      EXPECT_FALSE(MatchesMask(name, mask)) << name << " " << mask;
    }
  }
  EXPECT_EQ(PinToken(PinName(token)), token);
  EXPECT_FALSE(PinToken(LeavingName(token, "ONLINE.TXT")));
  EXPECT_EQ(LeavingParts(LeavingName(token, "ONLINE-2.TXT")),
            std::make_pair(token, std::string("ONLINE-2.TXT")));
  EXPECT_FALSE(LeavingParts(PinName(token)));
  EXPECT_FALSE(PinToken(".ruvodrv-pin-0123456789ABCDEF"));
  EXPECT_FALSE(PinToken(".ruvodrv-pin-012345"));
}

int CountOf(const std::string& text, const std::string& needle) {
  int n = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
    ++n;
  return n;
}

// The cycle over the real file system, with the ECR side faked.
struct DeliveryBench : CycleFixtureBase {
  DeliveryBench() { state.settings.logFile = true; }

  std::vector<std::string> PrivateFiles() const {
    return ListMatching(folder.Path(), ".ruvodrv-*");
  }
  std::size_t LogFiles() const { return ListMatching(state.logFolder, "*").size(); }
  std::vector<InFlightRecord> Records() const {
    InFlightJournal journal(folder.Path());
    return journal.Records();
  }

  StubbornFileOperations files;
  ReceiptFileCycle cycle{state, op, clock, execution, files};
};

class CycleDelivery : public ::testing::Test, public DeliveryBench {};

// What each crash window of the end of a file leaves, and the same goods dropped again
// as a new file after the restart: they are printed again, and answered for themselves.
TEST_F(CycleDelivery, NoLeftoverOfAKilledEndClaimsTheNextFileWithTheSameBytes) {
  struct Window {
    const char* what;
    bool fileAtName;  // the answered file still under its name
    bool leaving;     // renamed to its leaving name
    bool record;
  };
  for (const Window w : {Window{"answered, not yet moved", true, false, true},
                         Window{"moved out, record kept", false, true, true},
                         Window{"deleted, record kept", false, false, true},
                         Window{"record gone, file left", false, true, false},
                         Window{"only the pin left", false, false, false}}) {
    SCOPED_TRACE(w.what);
    DeliveryBench f;
    f.Drop("ONLINE.TXT", kSale);
    const std::optional<FileIdentity> read = IdentityOf(f.PathOf("ONLINE.TXT"));
    const std::optional<DeliveryId> id =
        ClaimDelivery(f.folder.Path(), "ONLINE.TXT", *read, Sha256Hex(kSale), f.files);
    ASSERT_TRUE(id);
    if (w.record) {
      InFlightJournal journal(f.folder.Path());
      ASSERT_TRUE(journal.Put(InFlightRecord{"ONLINE.TXT", *id, "2026_01_15_11_00_00",
                                             FileKind::Sale, RunPhase::Answered, 1, "",
                                             AnswerOfLines({"0 OK", "BON FISCAL NR. 0007"})}));
    }
    if (w.leaving) {
      ASSERT_TRUE(
          RenameNoReplace(f.PathOf("ONLINE.TXT"), f.PathOf(LeavingName(id->token, "ONLINE.TXT"))));
    } else if (!w.fileAtName) {
      ASSERT_TRUE(DeleteFile(f.PathOf("ONLINE.TXT")));
    }

    ReceiptFileCycle restarted{f.state, f.op, f.clock, f.execution, f.files};
    restarted.CleanOldFiles();
    if (w.fileAtName) {
      // The answered file is answered again, not run again.
      EXPECT_TRUE(restarted.PickUpNext());
      EXPECT_EQ(f.Read("ERROR.TXT"), "0 OK\r\nBON FISCAL NR. 0007\r\n");
      EXPECT_EQ(f.execution.Executions(), 0);
    }
    EXPECT_FALSE(Exists(f.PathOf("ONLINE.TXT")));
    EXPECT_EQ(f.PrivateFiles(), std::vector<std::string>{});
    EXPECT_TRUE(f.Records().empty());

    Deliver(f.folder.Path(), "ONLINE.TXT", kSale);
    EXPECT_TRUE(restarted.PickUpNext());
    EXPECT_EQ(f.execution.Executions(), 1);
    EXPECT_EQ(f.Read("ERROR.TXT"), "0 OK\r\n");
    EXPECT_FALSE(Exists(f.PathOf("ONLINE.TXT")));
    EXPECT_EQ(f.PrivateFiles(), std::vector<std::string>{});
  }
}

// The driver's file operations that let a new file be renamed in under the name just
// before the executed one is renamed out.
class RacingFileOperations final : public IFileOperations {
 public:
  bool Delete(const std::string& path) override { return real.Delete(path); }
  bool Rename(const std::string& from, const std::string& to) override {
    if (raceOnce && to.find(".ruvodrv-done-") != std::string::npos) {
      raceOnce();
      raceOnce = nullptr;
    }
    return real.Rename(from, to);
  }
  bool Exists(const std::string& path) override { return real.Exists(path); }
  bool Link(const std::string& from, const std::string& to) override { return real.Link(from, to); }

  PosixFileOperations real;
  std::function<void()> raceOnce;
};

TEST(CycleDeliveryRace, AFileRenamedInJustBeforeTheRemovalIsKeptAndRunNext) {
  CycleFixtureBase f;
  RacingFileOperations files;
  ReceiptFileCycle cycle{f.state, f.op, f.clock, f.execution, files};
  Deliver(f.folder.Path(), "ONLINE.TXT", kSale);
  files.raceOnce = [&] { Deliver(f.folder.Path(), "ONLINE.TXT", kSale); };
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(f.Read("ONLINE.TXT"), kSale);
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(f.execution.Executions(), 2);
  EXPECT_FALSE(Exists(f.PathOf("ONLINE.TXT")));
  EXPECT_EQ(ListMatching(f.folder.Path(), ".ruvodrv-*"), std::vector<std::string>{});
}

TEST_F(CycleDelivery, TheMemoryOfAnUndeletableFileEndsWithTheFileAlsoAcrossARestart) {
  files.undeletable = {"ONLINE.TXT"};
  files.renameFails = true;
  Drop("ONLINE.TXT", kSale);
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_FALSE(cycle.PickUpNext());
  ASSERT_EQ(cycle.Guard().WarningLines().size(), 1u);

  // Replaced by the next customer's file with the same goods: that one runs.
  Deliver(folder.Path(), "ONLINE.TXT", kSale);
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(execution.Executions(), 2);
  ASSERT_EQ(cycle.Guard().WarningLines().size(), 1u);

  // Removed by hand while the driver was stopped: the memory goes at the start.
  ASSERT_EQ(::unlink(PathOf("ONLINE.TXT").c_str()), 0);
  ReceiptFileCycle restarted{state, op, clock, execution, files};
  restarted.CleanOldFiles();
  EXPECT_TRUE(restarted.Guard().WarningLines().empty());
  EXPECT_TRUE(state.warningBox.empty());
  EXPECT_FALSE(FileExists(PathOf(InFlightJournal::kFileName)));
  EXPECT_EQ(PrivateFiles(), std::vector<std::string>{});
  files.undeletable.clear();
  Drop("ONLINE.TXT", kSale);
  EXPECT_TRUE(restarted.PickUpNext());
  EXPECT_EQ(execution.Executions(), 3);
}

// Takes the journal's place with a folder, so that no journal can be renamed into it.
void BlockJournal(CycleFixtureBase& f) {
  const std::string journal = f.PathOf(InFlightJournal::kFileName);
  if (FileExists(journal)) {
    ASSERT_EQ(std::rename(journal.c_str(), f.PathOf("journal.saved").c_str()), 0);
  }
  ASSERT_EQ(::mkdir(journal.c_str(), 0755), 0);
}
void UnblockJournal(CycleFixtureBase& f) {
  const std::string journal = f.PathOf(InFlightJournal::kFileName);
  ASSERT_EQ(::rmdir(journal.c_str()), 0);
  if (FileExists(f.PathOf("journal.saved"))) {
    ASSERT_EQ(std::rename(f.PathOf("journal.saved").c_str(), journal.c_str()), 0);
  }
}

const std::string kJournalWarning = "Atentie ! Nu pot salva jurnalul ";

bool Warns(const DriverState& state, const std::string& start) {
  for (const std::string& line : state.warningBox) {
    if (line.rfind(start, 0) == 0) return true;
  }
  return false;
}

TEST_F(CycleDelivery, APhaseThatCannotBeSavedStopsTheRunAndTheFileWaitsQuietly) {
  for (const RunPhase stopAt : {RunPhase::Lines, RunPhase::Closing}) {
    SCOPED_TRACE(static_cast<int>(stopAt));
    DeliveryBench f;
    f.Drop("ONLINE.TXT", kSale);
    if (stopAt == RunPhase::Lines) {
      f.execution.onPrepare = [&](ReceiptRun&) { BlockJournal(f); };
    } else {
      f.execution.onExecute = [&](ReceiptRun&) { BlockJournal(f); };
    }
    ::testing::internal::CaptureStderr();
    for (int tick = 0; tick < 4; ++tick) f.cycle.PickUpNext();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(f.execution.closesSent, 0);
    EXPECT_EQ(f.execution.Executions(), stopAt == RunPhase::Lines ? 0 : 1);
    EXPECT_TRUE(Exists(f.PathOf("ONLINE.TXT")));
    EXPECT_FALSE(Exists(f.PathOf("ERROR.TXT")));
    EXPECT_TRUE(Warns(f.state, kJournalWarning));
    EXPECT_EQ(CountOf(said, "cannot save the journal"), 1) << said;
    EXPECT_LE(f.LogFiles(), 1u);

    f.execution.onPrepare = nullptr;
    f.execution.onExecute = nullptr;
    // Lines were sent: the ECR is asked, and it has nothing closed (the receipt cancelled).
    f.execution.settlement.outcome = SaleSettlement::Outcome::RunAgain;
    UnblockJournal(f);
    EXPECT_TRUE(f.cycle.PickUpNext());
    EXPECT_EQ(f.execution.settlements > 0, stopAt == RunPhase::Closing);
    EXPECT_EQ(f.execution.closesSent, 1);
    EXPECT_EQ(f.Read("ERROR.TXT"), "0 OK\r\n");
    EXPECT_FALSE(Exists(f.PathOf("ONLINE.TXT")));
    EXPECT_FALSE(Warns(f.state, kJournalWarning));
  }
}

// A file whose run cannot be recorded is not sent to the ECR at all: a crash would leave
// nothing to tell that it may have printed. It waits, unanswered and unpinned, and runs
// once the journal can be saved again.
TEST_F(CycleDelivery, ARunThatCannotBeRecordedNeverReachesTheEcr) {
  Drop("ONLINE.TXT", kSale);
  ASSERT_TRUE(cycle.PickUpNext());  // the journal is read and known from here on
  ASSERT_EQ(execution.prepares, 1);
  BlockJournal(*this);
  Drop("ONLINE2.TXT", kSale);
  ::testing::internal::CaptureStderr();
  for (int tick = 0; tick < 3; ++tick) cycle.PickUpNext();
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(execution.prepares, 1);
  EXPECT_TRUE(Exists(PathOf("ONLINE2.TXT")));
  EXPECT_FALSE(Exists(PathOf("ERROR2.TXT")));
  EXPECT_EQ(ListMatching(folder.Path(), ".ruvodrv-pin-*"), std::vector<std::string>{});
  EXPECT_TRUE(Warns(state, kJournalWarning));
  EXPECT_EQ(CountOf(said, "cannot save the journal"), 1) << said;

  UnblockJournal(*this);
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(execution.prepares, 2);
  EXPECT_EQ(execution.closesSent, 2);
  EXPECT_EQ(Read("ERROR2.TXT"), "0 OK\r\n");
  EXPECT_FALSE(Exists(PathOf("ONLINE2.TXT")));
  EXPECT_FALSE(Warns(state, kJournalWarning));
}

// A keeper of answers (the HTTP server's key records) that cannot keep one holds the file
// where it is, answered but not gone; the same answer, never a second run, is offered
// again until it is kept, and a refusal reaches it as a refusal.
TEST_F(CycleDelivery, AnAnswerTheKeeperCannotKeepHoldsTheFileUntilItIsKept) {
  struct Keeper final : IAnswerKeeper {
    bool Keep(const std::string& suffix, const ReceiptAnswer& answer,
              std::string& failedPath) override {
      offered.emplace_back(suffix, answer);
      if (!works) failedPath = "/records/k.key";
      return works;
    }
    bool works = false;
    std::vector<std::pair<std::string, ReceiptAnswer>> offered;
  } keeper;
  cycle.KeepAnswersWith(&keeper);
  Drop("ONLINE_H1.TXT", kSale);
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(Read("ERROR_H1.TXT"), "0 OK\r\n");
  EXPECT_TRUE(Exists(PathOf("ONLINE_H1.TXT")));
  const std::string warning = "Atentie ! Nu pot salva raspunsul in /records/k.key";
  EXPECT_TRUE(Warns(state, warning));
  cycle.PickUpNext();
  keeper.works = true;
  cycle.PickUpNext();
  EXPECT_FALSE(Exists(PathOf("ONLINE_H1.TXT")));
  EXPECT_EQ(execution.Executions(), 1);
  ASSERT_EQ(keeper.offered.size(), 3u);
  for (const auto& [suffix, answer] : keeper.offered) {
    EXPECT_EQ(suffix, "_H1");
    EXPECT_EQ(answer, keeper.offered[0].second);
  }
  EXPECT_TRUE(keeper.offered[0].second.Ok());
  EXPECT_FALSE(Warns(state, warning));

  // Refused by the command language: nothing reached the ECR, and the keeper knows it.
  Drop("ONLINE_H2.TXT", "31;X\r\n");
  EXPECT_TRUE(cycle.PickUpNext());
  ASSERT_EQ(keeper.offered.size(), 4u);
  EXPECT_EQ(keeper.offered[3].second.outcome, AnswerOutcome::Refused);
  EXPECT_EQ(execution.Executions(), 1);
  cycle.KeepAnswersWith(nullptr);
}

TEST_F(CycleDelivery, AnUnreadableJournalLetsNothingRun) {
  ASSERT_EQ(::mkdir(PathOf(InFlightJournal::kFileName).c_str(), 0755), 0);
  Drop("ONLINE.TXT", kSale);
  EXPECT_FALSE(cycle.PickUpNext());
  EXPECT_EQ(execution.prepares, 0);
  EXPECT_TRUE(Warns(state, "Atentie ! Nu pot citi jurnalul "));
  ASSERT_EQ(::rmdir(PathOf(InFlightJournal::kFileName).c_str()), 0);
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(execution.Executions(), 1);
  EXPECT_FALSE(Warns(state, "Atentie ! Nu pot citi jurnalul "));
}

// A non-fiscal file whose answer cannot be saved once its run is over keeps that answer:
// it is never turned into the interrupted-run answer, not even after a restart, nothing
// runs again, and the other receipt files are not held up meanwhile.
TEST_F(CycleDelivery, AnAnswerThatCannotBeSavedIsKeptAndWrittenOnceTheFolderTakesIt) {
  execution.answer = "0 OK";
  Drop("ONLINE.TXT", kNonFiscal);
  execution.onExecute = [&](ReceiptRun& run) {
    run.file.response.nonFiscalReceiptNumber = "0042";
    ASSERT_EQ(::mkdir(PathOf("ERROR.TXT").c_str(), 0755), 0);
  };
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(cycle.PickUpNext());
  execution.onExecute = nullptr;
  EXPECT_TRUE(Exists(PathOf("ONLINE.TXT")));
  EXPECT_TRUE(Warns(state, "Atentie ! Nu pot scrie raspunsul ERROR.TXT"));

  Drop("ONLINE2.TXT", kSale);
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(Read("ERROR2.TXT"), "0 OK\r\n");
  for (int tick = 0; tick < 3; ++tick) cycle.PickUpNext();
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(CountOf(said, "cannot write the response file ERROR.TXT"), 1) << said;
  EXPECT_EQ(LogFiles(), 2u);

  ReceiptFileCycle restarted{state, op, clock, execution, files};
  restarted.CleanOldFiles();
  restarted.PickUpNext();
  ASSERT_EQ(::rmdir(PathOf("ERROR.TXT").c_str()), 0);
  EXPECT_TRUE(restarted.PickUpNext());
  EXPECT_EQ(Read("ERROR.TXT"), "0 OK\r\nBON NEFISCAL NR. 0042\r\n");
  EXPECT_EQ(execution.Executions(), 2);
  EXPECT_FALSE(Exists(PathOf("ONLINE.TXT")));
  EXPECT_FALSE(FileExists(PathOf(InFlightJournal::kFileName)));
  EXPECT_EQ(PrivateFiles(), std::vector<std::string>{});
  EXPECT_FALSE(Warns(state, "Atentie ! Nu pot scrie raspunsul"));
}

// The closed phase of a sale reaches the disk with the answer's record, which keeps the
// receipt number; the answer is written from it, and nothing runs again.
TEST_F(CycleDelivery, AClosedSaleIsRecordedWithItsAnswerAndItsNumber) {
  execution.closedNumber = "0007";
  Drop("ONLINE.TXT", kSale);
  execution.onExecute = [&](ReceiptRun&) {
    ASSERT_EQ(::mkdir(PathOf("ERROR.TXT").c_str(), 0755), 0);
  };
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(cycle.PickUpNext());
  ::testing::internal::GetCapturedStderr();
  execution.onExecute = nullptr;
  const std::vector<InFlightRecord> records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].phase, RunPhase::Answered);
  EXPECT_EQ(records[0].receiptNumber, "0007");
  ASSERT_TRUE(records[0].answer);
  EXPECT_EQ(records[0].answer->lines, std::vector<std::string>{"0 OK"});

  ASSERT_EQ(::rmdir(PathOf("ERROR.TXT").c_str()), 0);
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(Read("ERROR.TXT"), "0 OK\r\n");
  EXPECT_EQ(execution.Executions(), 1);
  EXPECT_TRUE(Records().empty());
  EXPECT_EQ(LogFiles(), 1u);
}

TEST_F(CycleDelivery, AFolderInPlaceOfOneAnswerHoldsUpOnlyItsOwnReceiptFile) {
  ASSERT_EQ(::mkdir(PathOf("ERROR.TXT").c_str(), 0755), 0);
  Drop("ONLINE.TXT", kSale);
  Drop("ONLINE2.TXT", kSale);
  Drop("ONLINE3.TXT", kSale);
  for (int tick = 0; tick < 4; ++tick) cycle.PickUpNext();
  EXPECT_EQ(execution.Executions(), 2);
  EXPECT_EQ(Read("ERROR2.TXT"), "0 OK\r\n");
  EXPECT_EQ(Read("ERROR3.TXT"), "0 OK\r\n");
  EXPECT_EQ(Read("ONLINE.TXT"), kSale);
  EXPECT_TRUE(Warns(state, "Atentie ! Nu pot scrie raspunsul ERROR.TXT"));

  ASSERT_EQ(::rmdir(PathOf("ERROR.TXT").c_str()), 0);
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(execution.Executions(), 3);
  EXPECT_EQ(Read("ERROR.TXT"), "0 OK\r\n");
  EXPECT_FALSE(Warns(state, "Atentie ! Nu pot scrie raspunsul"));
}

}  // namespace
}  // namespace ruvo::testing
