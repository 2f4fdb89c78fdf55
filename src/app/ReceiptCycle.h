#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/AnswerKeeper.h"
#include "app/ArrivalOrder.h"
#include "app/DeliveryLedger.h"
#include "app/DriverState.h"
#include "app/FileRun.h"
#include "app/InFlightJournal.h"
#include "app/Operator.h"
#include "app/PickupReadiness.h"
#include "app/ReceiptExecution.h"
#include "app/ReceiptFileGuard.h"
#include "app/ReceiptFileReader.h"
#include "app/ResponseFile.h"
#include "app/SaveTroubles.h"
#include "app/StrangeEntries.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"

namespace ruvo {

// "ONLINE*.TXT": the receipt files the sales application drops into the working folder.
inline const std::string kReceiptMask = "ONLINE*.TXT";

// What follows the first six characters of the name's part before its first ".":
// "" for ONLINE.TXT, "7" for online7.txt, "_POS1" for ONLINE_POS1.TXT.
std::string ReceiptSuffix(const std::string& name);

// The answer of a file whose processing was cut short by an unexpected error, so that the
// sales application is never left without an answer (or with the previous one).
// The answer of a receipt file that cannot be read, followed by its name.
inline const std::string kCannotOpenPrefix = "Nu pot deschide fisierului ";

inline const std::string kProcessingFailedPrefix = "8098;Eroare la procesarea fisierului : ";

// The answer of a file other than a sale whose run a crash or a power cut interrupted: it
// is not run again, since what it had done cannot be told from the ECR.
inline const std::string kInterruptedRun =
    "8097;Executia fisierului a fost intrerupta. Verificati casa de marcat";

// The warning while no response file can be written in the working folder.
inline const std::string kFolderUnwritableWarning =
    "Atentie ! Nu pot scrie raspunsul in folderul de lucru ! Bonurile asteapta.";

// The receipt file cycle: one receipt file per call of PickUpNext, from pickup to the
// response, the log and history copies and the removal of the file. Runs on the driver's
// one thread; every wait goes through the clock.
class ReceiptFileCycle {
 public:
  static constexpr std::int64_t kReadRetryMs = 5000;
  static constexpr std::int64_t kReadRetryPauseMs = 100;
  static constexpr std::int64_t kPauseAfterFileMs = 1000;

  // The product's cycle: the ECR executors behind execution, the real file system.
  ReceiptFileCycle(DriverState& state, IOperator& op, IClock& clock, IReceiptExecution& execution);
  // As above with the file operations replaced (tests make deletion fail through them).
  ReceiptFileCycle(DriverState& state, IOperator& op, IClock& clock, IReceiptExecution& execution,
                   IFileOperations& files);
  // Without executors: every file that passes validation is refused with
  // kExecutionUnavailable.
  ReceiptFileCycle(DriverState& state, IOperator& op, IClock& clock);

  ReceiptFileCycle(const ReceiptFileCycle&) = delete;
  ReceiptFileCycle& operator=(const ReceiptFileCycle&) = delete;

  // The pause after a file serves the event loop through pump (the window repaints, the
  // control socket answers); without one it is a plain sleep.
  void ServeDuringPauses(IEventPump& pump) { pausePump_ = &pump; }

  // The file part of the processing timer's tick, called after the driver's own busy and
  // TcheckCOM guard: takes the first waiting receipt file, runs it and removes it; sets
  // the busy flag for the whole of it and clears it after the 1000 ms pause. False when
  // no file was waiting (the tick then does the idle connection check). Never throws.
  bool PickUpNext();

  // Rebuilds the warning box, with the warnings of receipt files that could not be removed.
  void RefreshWarnings();

  // The clean-up at each start of processing. Never throws.
  void CleanOldFiles();

  // What the folder watch saw: tells files renamed into place from files written there.
  void Heard(const FolderNews& news) {
    readiness_.Heard(news, state_.workingFolder);
    arrivals_.Heard(news, state_.workingFolder);
  }
  // When (clock ms) a waiting file written in place will have been quiet long enough to be
  // taken; nullopt when none waits for that. Set by each PickUpNext that found no file.
  std::optional<std::int64_t> NextLookMs() const { return readiness_.NextLookMs(); }

  // Told of every answer before its file goes (the HTTP server's receipts); null for none.
  void KeepAnswersWith(IAnswerKeeper* keeper) { keeper_ = keeper; }

  // The suffix of the file taken up now; empty between files.
  std::string RunningSuffix() const { return file_ ? file_->run.suffix : std::string(); }

  // True when the file the last PickUpNext found was left waiting as it was (no answer can
  // be written, the ECR cannot settle its interrupted run): it is tried again at the next
  // tick, not at once.
  bool LastFileWaits() const { return lastFileWaits_; }

  // The guard that keeps a file from being executed twice (for the window and tests).
  const ReceiptFileGuard& Guard() const { return guard_; }

  // What was found of the runs a crash interrupted, newest last (also in the warning box).
  const std::vector<std::string>& RecoveryNotes() const { return recoveryNotes_; }

 private:
  enum class RecoveryStep { RunNormally, Answered, Wait };

  // An answer known but not yet saved, with the file it answers: its response file or
  // (for a file that reached the ECR) the journal could not be written. It is written, and
  // nothing is run again, once they can.
  struct PendingAnswer {
    std::string name;
    std::string stamp;
    DeliveryId delivery;
    ReceiptAnswer answer;
  };

  // Settles what a killed or failed end of a file left: records of files already taken
  // out of their names, records and memories of files that are gone or replaced.
  void Housekeep();
  void HousekeepRecord(const InFlightRecord& record);
  // The next file to take up, passing over those in passedOver. Files whose run was
  // interrupted go first; answers still to be saved next, unless their last attempt
  // failed; then new files that the sales application has finished (PickupReadiness);
  // then the answers that failed last time.
  std::optional<std::string> FindNext(const std::vector<std::string>& passedOver);
  // False, with a warning, when the response file of a new file cannot be cleared away
  // (a folder or another entry stands in its place): that file waits, the others go on.
  bool AnswerNameFree(const std::string& name);
  // The file taken up: made at its pickup, dropped once it is answered (or left waiting),
  // so that nothing of one file reaches the next one's answer.
  struct CurrentFile {
    CurrentFile(ReceiptFileCycle& cycle, const std::string& name, bool hold);
    FileRun run;
    ResponseWriter response;
    std::optional<DeliveryId> delivery;    // once claimed
    std::optional<InFlightRecord> record;  // once it reaches the ECR
    bool waitUnanswered = false;           // it waits, no answer is saved
    bool reachedEcr = false;               // its run reached the ECR
    bool closedUnsaved = false;            // record is closed, the journal says closing
    std::vector<std::string> recoveryLog;  // goes before the log of a file run again
  };
  // Drops the current file when it goes out of scope, on every way out.
  class FileScope {
   public:
    FileScope(ReceiptFileCycle& cycle, const std::string& name, bool hold);
    ~FileScope() { file_.reset(); }
    FileScope(const FileScope&) = delete;
    FileScope& operator=(const FileScope&) = delete;

   private:
    std::optional<CurrentFile>& file_;
  };
  // The current file; only between its pickup and its answer.
  CurrentFile& File() { return *file_; }

  // The file part of a tick for one file; false when the file was left waiting as it was.
  bool TakeUp(const std::string& name);
  // Saves an answer known before this tick; true when the file is finished.
  bool SaveKnownAnswer(const std::string& name, const std::string& stamp,
                       const DeliveryId& delivery, const ReceiptAnswer& answer);
  // False, with a warning, when no response could be written now.
  bool AnswerPlaceReady();
  // After a run: the answer into the journal, then into the response file, then the file
  // out of its name; a step that fails leaves the file waiting for the next tick.
  void Conclude(const std::string& name);
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
  void SetTrouble(SaveTroubles::Cause cause, const std::string& subject, bool failing);
  // ReceiptCycleRecovery.cpp: the file has a record of an interrupted run.
  RecoveryStep RecoverInterrupted(const std::string& name);
  // The record of a file whose pin was lost, when the file under name holds the record's
  // bytes: pinned anew and saved (a record with no token: not saved, the file waits);
  // nullopt when it is another receipt.
  std::optional<InFlightRecord> Reclaimed(const std::string& name, const InFlightRecord& record);
  void AnswerRecovered(const std::string& name, const std::string& text,
                       std::vector<std::string>& log);
  void Note(const std::string& name, const std::string& text, std::vector<std::string>& log);
  void RebuildWarningLines();
  // The whole run of the current file (name without folder), from the stamp to the log
  // copies. May throw; PickUpNext catches.
  void ProcessReceiptFile(const std::string& name);
  // Writes the response file of the current file (see ResponseWriter).
  void WriteResponse(const std::string& text);
  // Steps 2 to 6: read, convert, copy, check and execute; fills log.
  void RunFile(const std::string& name, std::vector<std::string>& log);
  // The delivery of the file just read: the one its record names when that is the file
  // read, a new claim otherwise.
  std::optional<DeliveryId> DeliveryOf(const std::string& name, const ReceiptFileContent& read);
  // Answers an entry under a receipt name that is no regular file without opening it, and
  // sets it aside; one pickup like a file's, pause included.
  bool RefuseStrangeEntry(const std::string& name);
  // writersSought: the pickup has just found no writer of the file (only the first try
  // relies on it).
  std::optional<ReceiptFileContent> ReadWithRetry(const std::string& path, bool writersSought);
  // The log of the current file is kept until its answer has been saved (SaveKeptLog).
  void KeepLog(const std::vector<std::string>& log);
  void SaveKeptLog();
  void SaveLog(const std::string& suffix, const std::string& stamp,
               const std::vector<std::string>& log);
  void ReportException(const std::string& what);

  DriverState& state_;
  IOperator& op_;
  IClock& clock_;
  std::unique_ptr<IReceiptExecution> ownedExecution_;
  std::unique_ptr<IFileOperations> ownedFiles_;
  IReceiptExecution* execution_;  // the owned one or the caller's, never null
  IFileOperations* files_;
  InFlightJournal journal_;
  ReceiptFileGuard guard_;
  std::vector<std::string> warningLines_;  // the cycle's lines of the warning box
  StrangeEntries strangeEntries_;
  SaveTroubles troubles_;
  PickupReadiness readiness_;
  ArrivalOrder arrivals_;  // first come, first printed
  std::optional<CurrentFile> file_;
  std::vector<PendingAnswer> pending_;
  std::vector<std::string> answerFailed_;  // names whose last answer could not be saved
  std::vector<std::string> recoveryNotes_;
  LiveDeliveries live_;
  struct KeptLog {
    std::string suffix;
    std::string stamp;
    std::vector<std::string> lines;
  };
  std::optional<KeptLog> keptLog_;  // the last file's log, saved after its answer
  IAnswerKeeper* keeper_ = nullptr;
  bool folderUnwritable_ = false;
  bool lastFileWaits_ = false;  // see LastFileWaits
  NullEventPump noPump_;
  IEventPump* pausePump_ = &noPump_;

  // Moves the current file's record on as the executors report their progress.
  class RecordPhases final : public IRunPhases {
   public:
    explicit RecordPhases(ReceiptFileCycle& cycle) : cycle_(cycle) {}
    bool Reached(RunPhase phase, const std::string& receiptNumber) override {
      return cycle_.WriteRecord(phase, receiptNumber);
    }
    bool Marked(RunPhase phase, const EcrMark& mark) override {
      return cycle_.WriteRecord(phase, "", mark);
    }

   private:
    ReceiptFileCycle& cycle_;
  };
  RecordPhases phases_{*this};
};

}  // namespace ruvo
