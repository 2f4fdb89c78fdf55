#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/AnswerKeeper.h"
#include "app/CurrentFile.h"
#include "app/DriverState.h"
#include "app/InFlightJournal.h"
#include "app/ReceiptDelivery.h"
#include "app/ReceiptExecution.h"
#include "app/ReceiptFileGuard.h"
#include "app/ReceiptFileReader.h"
#include "app/SaveTroubles.h"
#include "platform/Clock.h"

namespace ruvo {

// The answer of a file other than a sale whose run a crash or a power cut interrupted: it
// is not run again, since what it had done cannot be told from the ECR.
inline const std::string kInterruptedRun =
    "8097;Executia fisierului a fost intrerupta. Verificati casa de marcat";

// True when the file under the record's name holds the bytes of the record's run, which
// reached the ECR and was never answered: the same delivery, also when its pin was lost
// (deleted, or the folder copied without its links).
bool HoldsUnansweredRun(const std::string& folder, const InFlightRecord& record);

// The names of the working folder a clean-up must leave: the files of the records, of
// the files remembered as run, and of the answers owed (owed), with their response files.
std::vector<std::string> NamesInFlight(const std::vector<InFlightRecord>& records,
                                       const std::vector<ExecutedFile>& executed,
                                       const std::vector<std::string>& owed);

// The deliveries this process claimed or found under their names: their pins are its own.
// A record from before the start may have lost its pin, or carry a copy of it.
class LiveDeliveries {
 public:
  void Mark(const std::string& token);
  bool Has(const DeliveryId& delivery) const;
  void Forget(const std::string& token);

 private:
  std::vector<std::string> tokens_;
};

// The delivery ledger: whether a receipt file reached the ECR, and what it is owed. It
// keeps the journal of runs in flight, the pins and claims of the files, the answers not
// yet saved, and takes an answered file out of its name only once its answer is saved
// (journal first, then the response file). After a crash it settles an interrupted run,
// asking the ECR, before anything else runs. The receipt file cycle asks it at every step;
// nothing else touches the journal or the pins.
//
// DeliveryLedger.cpp: the questions of the tick, the claim and the records of a run.
// DeliveryLedgerEnd.cpp: the answer saved, the file moved out, what a kill left settled.
// DeliveryLedgerRecovery.cpp: a run a crash interrupted.
class DeliveryLedger {
 public:
  enum class RecoveryStep { RunNormally, Answered, Wait };

  // warningsChanged: called whenever the ledger's lines of the warning box changed.
  DeliveryLedger(DriverState& state, IClock& clock, IFileOperations& files,
                 IReceiptExecution& execution, std::function<void()> warningsChanged);

  DeliveryLedger(const DeliveryLedger&) = delete;
  DeliveryLedger& operator=(const DeliveryLedger&) = delete;

  // The file taken up now (null between files): the one a run's records and answer are for.
  void Attend(CurrentFile* file) { file_ = file; }

  // --- Before a file is taken up
  // False while the journal cannot be read or is damaged (with the trouble told): nothing
  // may run meanwhile.
  bool JournalReady();
  // Settles what a killed or failed end of a file left: records of files already taken
  // out of their names, records and memories of files that are gone or replaced.
  void Housekeep();
  // A copy of the journal's records of runs in flight.
  std::vector<InFlightRecord> Records();
  bool HasRecord(const std::string& name);
  // True when an answer to name is known and only waits to be saved.
  bool AnswerOwed(const std::string& name);
  // The names whose answer is owed: those of records (in their order), then the others.
  std::vector<std::string> OwedNames(const std::vector<InFlightRecord>& records);
  // True when the last attempt to save name's answer failed.
  bool AnswerFailed(const std::string& name) const;
  // True when the file under name ran but could not be taken out of its name.
  bool IsSkipped(const std::string& name);
  // True when the ledger holds a run or an answer of name (then it is no new file).
  bool Holds(const std::string& name);

  // --- A file taken up (Attend)
  // Saves the answer owed to name, when one is; nullopt when none is owed, else true when
  // the file is finished.
  std::optional<bool> SaveOwedAnswer(const std::string& name);
  // The file has a record of an interrupted run: answers it (RecoveryStep::Answered, log
  // holding what was found), lets it run (again) or keeps it waiting.
  RecoveryStep RecoverInterrupted(const std::string& name, std::vector<std::string>& log);
  // False when the journal could not be saved since an earlier failure: the file waits
  // before anything of it is read.
  bool ReadyToRun();
  // Claims the file just read as its delivery; false (the file waits) when it changed
  // since it was read.
  bool Claim(const std::string& name, const ReceiptFileContent& read);
  // Records the run before anything of it reaches the ECR; false (the file waits) when the
  // record could not be saved.
  bool RecordRun(const std::string& name, FileKind kind, int port);
  // Told where the run has come to by the executors.
  IRunPhases& Phases() { return phases_; }
  // After a run: the answer into the journal, then into the response file, then the file
  // out of its name; a step that fails leaves the file waiting for the next tick.
  void Conclude(const std::string& name);

  // --- The clean-up at the start of processing
  // The names the clean-up must leave; nullopt when the journal cannot tell (leave all).
  std::optional<std::vector<std::string>> NamesToKeep();
  // After the clean-up: a killed run's private files go, the remembered files are shown.
  void AfterCleanup();

  // Marks a trouble saving (journal or answer) as there or gone.
  void SetTrouble(SaveTroubles::Cause cause, const std::string& subject, bool failing);
  // The ledger's lines of the warning box: files that could not be removed, recovery
  // notes, save troubles.
  std::vector<std::string> WarningLines() const;

  const ReceiptFileGuard& Guard() const { return guard_; }
  const std::vector<std::string>& RecoveryNotes() const { return recoveryNotes_; }

  // Told of every answer after its response file and before its file goes; null for none.
  void KeepAnswersWith(IAnswerKeeper* keeper) { keeper_ = keeper; }

 private:
  // An answer known but not yet saved, with the file it answers: its response file or
  // (for a file that reached the ECR) the journal could not be written. It is written, and
  // nothing is run again, once they can.
  struct PendingAnswer {
    std::string name;
    std::string stamp;
    DeliveryId delivery;
    ReceiptAnswer answer;
  };

  CurrentFile& File() { return *file_; }
  std::string JournalPath() const;
  void WarningsChanged() { warningsChanged_(); }

  void HousekeepRecord(const InFlightRecord& record);
  // Saves an answer known before this tick; true when the file is finished.
  bool SaveKnownAnswer(const std::string& name, const std::string& stamp,
                       const DeliveryId& delivery, const ReceiptAnswer& answer);
  // Takes the answered file out of its name and forgets it, in an order that leaves no
  // record able to claim a later file.
  void FinishDelivery(const std::string& name, const std::string& stamp,
                      const DeliveryId& delivery);
  bool WriteRecord(RunPhase phase, const std::string& receiptNumber,
                   const std::optional<EcrMark>& mark = std::nullopt);
  // Saves the closed phase that waited for the answer's record, when no answer follows.
  void SaveClosedPhase();
  void DropPending(const std::string& name);
  PendingAnswer* FindPending(const std::string& name);
  // A delivery no record, memory or pending answer refers to any more loses its pin.
  void ReleaseIfUnused(const DeliveryId& delivery);
  // Removes pins and leaving files nothing refers to (left by a killed run).
  void RemoveStrayPrivateFiles();
  // The record of a file whose pin was lost, when the file under name holds the record's
  // bytes: pinned anew and saved (a record with no token: not saved, the file waits);
  // nullopt when it is another receipt.
  std::optional<InFlightRecord> Reclaimed(const std::string& name, const InFlightRecord& record);
  void AnswerRecovered(const std::string& name, const std::string& text,
                       std::vector<std::string>& log);
  void Note(const std::string& name, const std::string& text, std::vector<std::string>& log);

  DriverState& state_;
  IClock& clock_;
  IFileOperations& files_;
  IReceiptExecution& execution_;
  std::function<void()> warningsChanged_;
  InFlightJournal journal_;
  ReceiptFileGuard guard_;
  SaveTroubles troubles_;
  LiveDeliveries live_;
  std::vector<PendingAnswer> pending_;
  std::vector<std::string> answerFailed_;  // names whose last answer could not be saved
  std::vector<std::string> recoveryNotes_;
  CurrentFile* file_ = nullptr;
  IAnswerKeeper* keeper_ = nullptr;

  // Moves the current file's record on as the executors report their progress.
  class RecordPhases final : public IRunPhases {
   public:
    explicit RecordPhases(DeliveryLedger& ledger) : ledger_(ledger) {}
    bool Reached(RunPhase phase, const std::string& receiptNumber) override {
      return ledger_.WriteRecord(phase, receiptNumber);
    }
    bool Marked(RunPhase phase, const EcrMark& mark) override {
      return ledger_.WriteRecord(phase, "", mark);
    }

   private:
    DeliveryLedger& ledger_;
  };
  RecordPhases phases_{*this};
};

}  // namespace ruvo
