#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/AnswerKeeper.h"
#include "app/ArrivalOrder.h"
#include "app/CurrentFile.h"
#include "app/DeliveryLedger.h"
#include "app/DriverState.h"
#include "app/Operator.h"
#include "app/PickupReadiness.h"
#include "app/ReceiptExecution.h"
#include "app/ReceiptFileGuard.h"
#include "app/ReceiptPipeline.h"
#include "app/StrangeEntries.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"

namespace ruvo {

// "ONLINE*.TXT": the receipt files the sales application drops into the working folder.
inline const std::string kReceiptMask = "ONLINE*.TXT";

// The answer of a file whose processing was cut short by an unexpected error, so that the
// sales application is never left without an answer (or with the previous one).
inline const std::string kProcessingFailedPrefix = "8098;Eroare la procesarea fisierului : ";

// The warning while no response file can be written in the working folder.
inline const std::string kFolderUnwritableWarning =
    "Atentie ! Nu pot scrie raspunsul in folderul de lucru ! Bonurile asteapta.";

// The receipt file cycle: one receipt file per call of PickUpNext, from pickup to the
// response, the log copies and the removal of the file. It finds the next file and takes
// it up; the file runs through the pipeline (ReceiptPipeline), and the ledger
// (DeliveryLedger) records the run, saves its answer and takes the file out of its name.
// Runs on the driver's one thread; every wait goes through the clock.
class ReceiptFileCycle {
 public:
  static constexpr std::int64_t kReadRetryMs = ReceiptPipeline::kReadRetryMs;
  static constexpr std::int64_t kReadRetryPauseMs = ReceiptPipeline::kReadRetryPauseMs;
  static constexpr std::int64_t kPauseAfterFileMs = 1000;

  // The ECR executors behind execution; files: the operations that change the working
  // folder (tests make deletion fail through them).
  ReceiptFileCycle(DriverState& state, IOperator& op, IClock& clock, IReceiptExecution& execution,
                   IFileOperations& files);
  // As above on the real file system.
  ReceiptFileCycle(DriverState& state, IOperator& op, IClock& clock, IReceiptExecution& execution);

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
  void KeepAnswersWith(IAnswerKeeper* keeper) { ledger_.KeepAnswersWith(keeper); }

  // The suffix of the file taken up now; empty between files.
  std::string RunningSuffix() const { return file_ ? file_->run.suffix : std::string(); }

  // True when the file the last PickUpNext found was left waiting as it was (no answer can
  // be written, the ECR cannot settle its interrupted run): it is tried again at the next
  // tick, not at once.
  bool LastFileWaits() const { return lastFileWaits_; }

  // The guard that keeps a file from being executed twice (for the window and tests).
  const ReceiptFileGuard& Guard() const { return ledger_.Guard(); }

  // What was found of the runs a crash interrupted, newest last (also in the warning box).
  const std::vector<std::string>& RecoveryNotes() const { return ledger_.RecoveryNotes(); }

 private:
  // The next file to take up, passing over those in passedOver. Files whose run was
  // interrupted go first; answers still to be saved next, unless their last attempt
  // failed; then new files that the sales application has finished (PickupReadiness);
  // then the answers that failed last time.
  std::optional<std::string> FindNext(const std::vector<std::string>& passedOver);
  // False, with a warning, when the response file of a new file cannot be cleared away
  // (a folder or another entry stands in its place): that file waits, the others go on.
  bool AnswerNameFree(const std::string& name);
  // Makes the current file for its scope, shows it to the ledger, and drops it on every way
  // out.
  class FileScope {
   public:
    FileScope(ReceiptFileCycle& cycle, const std::string& name, bool hold);
    ~FileScope();
    FileScope(const FileScope&) = delete;
    FileScope& operator=(const FileScope&) = delete;

   private:
    ReceiptFileCycle& cycle_;
  };
  // The current file; only between its pickup and its answer.
  CurrentFile& File() { return *file_; }

  // The file part of a tick for one file; false when the file was left waiting as it was.
  bool TakeUp(const std::string& name);
  // False, with a warning, when no response could be written now.
  bool AnswerPlaceReady();
  void RebuildWarningLines();
  // The whole run of the current file (name without folder), from the stamp to the log
  // copies. May throw; PickUpNext catches.
  void ProcessReceiptFile(const std::string& name);
  // Writes the response file of the current file (see ResponseWriter).
  void WriteResponse(const std::string& text);
  // Answers an entry under a receipt name that is no regular file without opening it, and
  // sets it aside; one pickup like a file's, pause included.
  bool RefuseStrangeEntry(const std::string& name);
  // The log of the current file is kept until its answer has been saved (SaveKeptLog).
  void KeepLog(const std::vector<std::string>& log);
  void SaveKeptLog();
  void SaveLog(const std::string& suffix, const std::string& stamp,
               const std::vector<std::string>& log);
  void ReportException(const std::string& what);

  DriverState& state_;
  IOperator& op_;
  IClock& clock_;
  IFileOperations& files_;
  std::vector<std::string> warningLines_;  // the cycle's lines of the warning box
  DeliveryLedger ledger_;
  ReceiptPipeline pipeline_;
  StrangeEntries strangeEntries_;
  PickupReadiness readiness_;
  ArrivalOrder arrivals_;  // first come, first printed
  std::optional<CurrentFile> file_;
  struct KeptLog {
    std::string suffix;
    std::string stamp;
    std::vector<std::string> lines;
  };
  std::optional<KeptLog> keptLog_;  // the last file's log, saved after its answer
  bool folderUnwritable_ = false;
  bool lastFileWaits_ = false;  // see LastFileWaits
  NullEventPump noPump_;
  IEventPump* pausePump_ = &noPump_;
};

}  // namespace ruvo
