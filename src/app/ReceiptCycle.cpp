#include "app/ReceiptCycle.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "app/CleanOldFiles.h"
#include "app/ResponseWarnings.h"
#include "app/StrangeEntries.h"
#include "platform/AtomicFile.h"
#include "platform/ExceptionText.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/ServedPause.h"
#include "platform/TimeFormat.h"
#include "platform/WriteProbe.h"

namespace ruvo {

namespace {

// Sets the busy flag for its lifetime, so that it is cleared on every way out.
class BusyScope {
 public:
  explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
  ~BusyScope() { busy_ = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& busy_;
};

// The real file system's operations hold no state: one serves every cycle.
IFileOperations& RealFileOperations() {
  static PosixFileOperations files;
  return files;
}

}  // namespace

ReceiptFileCycle::FileScope::FileScope(ReceiptFileCycle& cycle, const std::string& name, bool hold)
    : cycle_(cycle) {
  cycle_.file_.emplace(cycle_.state_, cycle_.op_, cycle_.clock_, cycle_.warningLines_, name, hold);
  cycle_.ledger_.Attend(&*cycle_.file_);
}

ReceiptFileCycle::FileScope::~FileScope() {
  cycle_.ledger_.Attend(nullptr);
  cycle_.file_.reset();
}

ReceiptFileCycle::ReceiptFileCycle(DriverState& state, IOperator& op, IClock& clock,
                                   IReceiptExecution& execution, IFileOperations& files)
    : state_(state),
      op_(op),
      clock_(clock),
      files_(files),
      ledger_(state, clock, files, execution, [this] { RefreshWarnings(); }),
      pipeline_(state, op, clock, execution, ledger_),
      strangeEntries_(files),
      readiness_(clock) {}

ReceiptFileCycle::ReceiptFileCycle(DriverState& state, IOperator& op, IClock& clock,
                                   IReceiptExecution& execution)
    : ReceiptFileCycle(state, op, clock, execution, RealFileOperations()) {}

std::optional<std::string> ReceiptFileCycle::FindNext(const std::vector<std::string>& passedOver) {
  const std::int64_t lookNs = clock_.FileTimeNowNs();
  const std::vector<std::string> waiting =
      arrivals_.Order(state_.workingFolder,
                      ListEntriesMatching(state_.workingFolder, kReceiptMask));
  readiness_.BeginLook(waiting, lookNs);
  auto contains = [](const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  auto open = [&](const std::string& name) {
    return contains(waiting, name) && !contains(passedOver, name) && !ledger_.IsSkipped(name);
  };
  // A copy: telling whether a file is skipped may change the journal.
  const std::vector<InFlightRecord> records = ledger_.Records();
  // An interrupted file goes first: another file's state check would settle the receipt
  // it left open without knowing whose it is.
  for (const InFlightRecord& record : records) {
    if (!ledger_.AnswerOwed(record.name) && open(record.name)) return record.name;
  }
  // An answer that only waits to be saved holds up nobody once it has failed.
  const std::vector<std::string> owed = ledger_.OwedNames(records);
  for (const std::string& name : owed) {
    if (!ledger_.AnswerFailed(name) && open(name)) return name;
  }
  for (const std::string& name : waiting) {
    if (contains(owed, name) || ledger_.HasRecord(name)) continue;
    if (strangeEntries_.IsSetAside(state_.workingFolder, name)) continue;
    // A new file is taken only once the sales application has finished it.
    if (open(name) &&
        readiness_.Ready(state_.workingFolder, name, state_.settings.pauzaFisierScris)) {
      return name;
    }
  }
  for (const std::string& name : owed) {
    if (open(name)) return name;
  }
  return std::nullopt;
}

bool ReceiptFileCycle::PickUpNext() {
  lastFileWaits_ = false;
  if (state_.busy) return false;
  std::vector<std::string> passedOver;
  for (;;) {
    std::optional<std::string> name;
    try {
      // Without its records nothing can be told from a file that already ran.
      if (!ledger_.JournalReady()) return false;
      if (passedOver.empty()) ledger_.Housekeep();
      name = FindNext(passedOver);
    } catch (...) {
      return false;  // a folder that cannot be listed now may be listed on the next tick
    }
    if (!name) return false;
    if (IsStrangeEntry(JoinPath(state_.workingFolder, *name))) return RefuseStrangeEntry(*name);
    if (!AnswerNameFree(*name)) {
      passedOver.push_back(*name);
      continue;
    }
    lastFileWaits_ = !TakeUp(*name);
    return true;
  }
}

bool ReceiptFileCycle::AnswerNameFree(const std::string& name) {
  // Only a new file: an answer owed is retried where it failed, and goes last meanwhile.
  if (ledger_.Holds(name)) return true;
  const std::string response = ResponseFileName(ReceiptSuffix(name));
  const std::string path = JoinPath(state_.workingFolder, response);
  // One that cannot be deleted is replaced when the new response is saved, unless it is
  // no file at all (a folder): then nothing could answer this receipt file.
  if (files_.Exists(path)) files_.Delete(path);
  const bool free = !files_.Exists(path) || IsRegularFile(path);
  ledger_.SetTrouble(SaveTroubles::Cause::Answer, response, !free);
  return free;
}

bool ReceiptFileCycle::TakeUp(const std::string& name) {
  BusyScope busy(state_.busy);
  // Nothing is sent to the ECR for a file that could not be answered.
  if (!AnswerPlaceReady()) return false;
  bool pause = true;
  std::optional<std::string> dialog;
  keptLog_.reset();
  {
    const FileScope file(*this, name, true);
    try {
      if (const std::optional<bool> finished = ledger_.SaveOwedAnswer(name)) {
        pause = *finished;
      } else {
        std::vector<std::string> recoveryLog;
        const DeliveryLedger::RecoveryStep step = ledger_.RecoverInterrupted(name, recoveryLog);
        if (step == DeliveryLedger::RecoveryStep::Wait) return false;
        if (step == DeliveryLedger::RecoveryStep::Answered) KeepLog(recoveryLog);
        if (step == DeliveryLedger::RecoveryStep::RunNormally) ProcessReceiptFile(name);
        try {
          ledger_.Conclude(name);
        } catch (...) {
          ReportException(WhatOf(std::current_exception()));
        }
        pause = !File().waitUnanswered;
      }
    } catch (...) {
      ReportException(WhatOf(std::current_exception()));
      try {
        ledger_.Conclude(name);
      } catch (...) {
      }
    }
    dialog = File().response.TakeDeferredDialog();
  }
  // The sales application waits for the answer, nobody waits for the log: it is written
  // once the answer is out, also to a client that waits for it through the loop (HTTP).
  if (pause) pausePump_->Pump();
  // Only now may the operator be asked to look: the answer is out.
  if (dialog) ShowErrorDialog(op_, *dialog);
  SaveKeptLog();
  if (pause) ServedPause(clock_, *pausePump_, kPauseAfterFileMs);
  return pause;
}

bool ReceiptFileCycle::AnswerPlaceReady() {
  const bool writable = CanWriteFileIn(state_.workingFolder);
  if (writable == !folderUnwritable_) return writable;
  folderUnwritable_ = !writable;
  if (!writable) {
    Log(LogLevel::Warning, "no response file can be written in " + state_.workingFolder +
                               "; receipt files wait there until one can");
  }
  RefreshWarnings();
  return writable;
}

bool ReceiptFileCycle::RefuseStrangeEntry(const std::string& name) {
  BusyScope busy(state_.busy);
  {
    const FileScope file(*this, name, false);
    try {
      WriteResponse(kCannotOpenPrefix + name);
      ledger_.SetTrouble(SaveTroubles::Cause::Answer, ResponseFileName(File().run.suffix),
                         !File().response.LastSaveSucceeded());
      strangeEntries_.SetAside(state_.workingFolder, name, File().run.stamp);
    } catch (...) {
      ReportException(WhatOf(std::current_exception()));
    }
  }
  ServedPause(clock_, *pausePump_, kPauseAfterFileMs);
  return true;
}

void ReceiptFileCycle::ReportException(const std::string& what) {
  try {
    // Without this the sales application would wait for an answer that never comes.
    if (!File().response.Written()) WriteResponse(kProcessingFailedPrefix + what);
    op_.ShowDefaultError(what);
  } catch (...) {
    Log(LogLevel::Error, what);
  }
}

void ReceiptFileCycle::ProcessReceiptFile(const std::string& name) {
  File().run.stamp = FormatFileStamp(clock_.Now());

  std::vector<std::string> log = std::move(File().recoveryLog);
  std::exception_ptr failure;
  try {
    if (ledger_.ReadyToRun()) {
      pipeline_.Run(name, File(), readiness_.TakeFoundWhole(name), log);
    }
  } catch (...) {
    failure = std::current_exception();
  }
  // The log tells what happened to the ECR, so it is kept whatever went wrong; a file
  // that waits before reaching it leaves none, or every tick of the wait would.
  if (!File().waitUnanswered || File().reachedEcr) KeepLog(log);
  if (failure) std::rethrow_exception(failure);
}

void ReceiptFileCycle::KeepLog(const std::vector<std::string>& log) {
  keptLog_ = KeptLog{File().run.suffix, File().run.stamp, log};
}

void ReceiptFileCycle::SaveKeptLog() {
  if (!keptLog_) return;
  const KeptLog kept = std::move(*keptLog_);
  keptLog_.reset();
  try {
    SaveLog(kept.suffix, kept.stamp, kept.lines);
  } catch (...) {
    Log(LogLevel::Warning, "cannot write the log file of " + kept.stamp);
  }
}

void ReceiptFileCycle::SaveLog(const std::string& suffix, const std::string& stamp,
                               const std::vector<std::string>& log) {
  if (!state_.settings.logFile) return;
  const std::string name = "Log" + suffix + "_" + stamp + ".TXT";
  CreateFolders(state_.logFolder);
  if (!WriteLinesAtomic(JoinPath(state_.logFolder, name), log)) {
    Log(LogLevel::Warning, "cannot write the log file " + name);
  }
  if (state_.settings.history) {
    CreateFolders(state_.historyFolder);
    if (!WriteLinesAtomic(JoinPath(state_.historyFolder, name), log)) {
      Log(LogLevel::Warning, "cannot write the history copy " + name);
    }
  }
}

void ReceiptFileCycle::WriteResponse(const std::string& text) {
  File().response.WriteResponse(text);
}

void ReceiptFileCycle::RefreshWarnings() {
  RebuildWarningLines();
  ruvo::RefreshWarnings(state_, warningLines_);
}

void ReceiptFileCycle::RebuildWarningLines() {
  warningLines_ = ledger_.WarningLines();
  if (folderUnwritable_) warningLines_.push_back(kFolderUnwritableWarning);
}

void ReceiptFileCycle::CleanOldFiles() {
  // The files of the deliveries the ledger holds stay.
  std::vector<std::string> kept;
  bool keepAll = true;
  try {
    if (std::optional<std::vector<std::string>> names = ledger_.NamesToKeep()) {
      kept = std::move(*names);
      keepAll = false;
    }
  } catch (...) {
    keepAll = true;
  }
  ruvo::CleanOldFiles(state_, clock_, files_, kept, keepAll);
  try {
    ledger_.AfterCleanup();
    RefreshWarnings();
  } catch (...) {
  }
}

}  // namespace ruvo
