#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/DriverState.h"
#include "app/InFlightJournal.h"
#include "app/PickupReadiness.h"
#include "app/ReceiptExecution.h"
#include "app/ReceiptFileGuard.h"
#include "app/ReceiptFileReader.h"
#include "app/ResponseFile.h"
#include "app/StrangeEntries.h"
#include "console/Operator.h"
#include "platform/Clock.h"

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

  // The file part of the processing timer's tick, called after the driver's own busy and
  // TcheckCOM guard: takes the first waiting receipt file, runs it and removes it; sets
  // the busy flag for the whole of it and clears it after the 1000 ms pause. False when
  // no file was waiting (the tick then does the idle connection check). Never throws.
  bool PickUpNext();

  // The whole run of one receipt file of the working folder (name without folder), from
  // the stamp to the log copies. May throw; PickUpNext catches.
  void ProcessReceiptFile(const std::string& name);

  // Writes the response file of the current file (see ResponseWriter).
  void WriteResponse(const std::string& text);

  // The response writer of the cycle, for a manual operation's state check: what it
  // writes keeps the cycle's warning lines in the warning box.
  IResponseWriter& Response() { return response_; }

  // Rebuilds the warning box, with the warnings of receipt files that could not be removed.
  void RefreshWarnings();

  // The clean-up at each start of processing. Never throws.
  void CleanOldFiles();

  // What the folder watch saw: tells files renamed into place from files written there.
  void Heard(const FolderNews& news) { readiness_.Heard(news, state_.workingFolder); }
  // When (clock ms) a waiting file written in place will have been quiet long enough to be
  // taken; nullopt when none waits for that. Set by each PickUpNext that found no file.
  std::optional<std::int64_t> NextLookMs() const { return readiness_.NextLookMs(); }

  // The guard that keeps a file from being executed twice (for the window and tests).
  const ReceiptFileGuard& Guard() const { return guard_; }

  // What was found of the runs a crash interrupted, newest last (also in the warning box).
  const std::vector<std::string>& RecoveryNotes() const { return recoveryNotes_; }

 private:
  enum class RecoveryStep { RunNormally, Answered, Wait };

  // The first waiting receipt file that is not a remembered undeletable one and that the
  // sales application has finished (PickupReadiness); a file whose run was interrupted goes
  // first.
  std::optional<std::string> FindNext();
  // False, with a warning, when no response could be written now.
  bool AnswerPlaceReady();
  // Removes the file once it has been answered; keeps it and its record otherwise.
  void FinishFile(const std::string& name);
  void WriteRecord(RunPhase phase, const std::string& receiptNumber);
  // ReceiptCycleRecovery.cpp: the file has a record of an interrupted run.
  RecoveryStep RecoverInterrupted(const std::string& name);
  void AnswerRecovered(const std::string& name, const std::string& text,
                       std::vector<std::string>& log);
  void Note(const std::string& name, const std::string& text, std::vector<std::string>& log);
  void RebuildWarningLines();
  // Steps 2 to 6: read, convert, copy, check and execute; fills log.
  void RunFile(const std::string& name, std::vector<std::string>& log);
  // Answers an entry under a receipt name that is no regular file without opening it, and
  // sets it aside; one pickup like a file's, pause included.
  bool RefuseStrangeEntry(const std::string& name);
  // writersSought: the pickup has just found no writer of the file (only the first try
  // relies on it).
  std::optional<ReceiptFileContent> ReadWithRetry(const std::string& path, bool writersSought);
  void SaveLog(const std::vector<std::string>& log);
  void ClearResponseItems();
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
  ResponseWriter response_;
  StrangeEntries strangeEntries_;
  PickupReadiness readiness_;
  std::optional<std::string> ranSha256_;   // of the bytes of the current file that ran
  std::optional<InFlightRecord> record_;   // of the current file, once it reaches the ECR
  std::vector<std::string> recoveryNotes_;
  std::vector<std::string> recoveryLog_;   // goes before the log of a file run again
  bool folderUnwritable_ = false;

  // Moves the current file's record on as the executors report their progress.
  class RecordPhases final : public IRunPhases {
   public:
    explicit RecordPhases(ReceiptFileCycle& cycle) : cycle_(cycle) {}
    void Reached(RunPhase phase, const std::string& receiptNumber) override {
      cycle_.WriteRecord(phase, receiptNumber);
    }

   private:
    ReceiptFileCycle& cycle_;
  };
  RecordPhases phases_{*this};
};

}  // namespace ruvo
