#include "app/ReceiptCycle.h"

#include <algorithm>
#include <exception>

#include "app/CleanOldFiles.h"
#include "app/ReceiptFileReader.h"
#include "app/ResponseWarnings.h"
#include "app/StrangeEntries.h"
#include "platform/AtomicFile.h"
#include "platform/ExceptionText.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/Log.h"
#include "platform/ServedPause.h"
#include "platform/TimeFormat.h"
#include "platform/WriteProbe.h"
#include "receipt/LegacyConversion.h"
#include "receipt/PresenceFlags.h"

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

}  // namespace

ReceiptFileCycle::CurrentFile::CurrentFile(ReceiptFileCycle& cycle, const std::string& name,
                                           bool hold)
    : run{ReceiptSuffix(name), FormatFileStamp(cycle.clock_.Now()), {}},
      response(cycle.state_, cycle.op_, cycle.warningLines_, run, hold) {}

ReceiptFileCycle::FileScope::FileScope(ReceiptFileCycle& cycle, const std::string& name, bool hold)
    : file_(cycle.file_) {
  file_.emplace(cycle, name, hold);
}

std::string ReceiptSuffix(const std::string& name) {
  const std::string base = name.substr(0, name.find('.'));
  return base.size() > 6 ? base.substr(6) : std::string();
}

ReceiptFileCycle::ReceiptFileCycle(DriverState& state, IOperator& op, IClock& clock,
                                   IReceiptExecution& execution)
    : state_(state),
      op_(op),
      clock_(clock),
      ownedFiles_(std::make_unique<PosixFileOperations>()),
      execution_(&execution),
      files_(ownedFiles_.get()),
      journal_(state.workingFolder),
      guard_(*files_, clock, journal_),
      strangeEntries_(*files_),
      readiness_(clock) {}

ReceiptFileCycle::ReceiptFileCycle(DriverState& state, IOperator& op, IClock& clock,
                                   IReceiptExecution& execution, IFileOperations& files)
    : state_(state),
      op_(op),
      clock_(clock),
      execution_(&execution),
      files_(&files),
      journal_(state.workingFolder),
      guard_(files, clock, journal_),
      strangeEntries_(*files_),
      readiness_(clock) {}

ReceiptFileCycle::ReceiptFileCycle(DriverState& state, IOperator& op, IClock& clock)
    : state_(state),
      op_(op),
      clock_(clock),
      ownedExecution_(std::make_unique<UnavailableReceiptExecution>()),
      ownedFiles_(std::make_unique<PosixFileOperations>()),
      execution_(ownedExecution_.get()),
      files_(ownedFiles_.get()),
      journal_(state.workingFolder),
      guard_(*files_, clock, journal_),
      strangeEntries_(*files_),
      readiness_(clock) {}

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
    return contains(waiting, name) && !contains(passedOver, name) &&
           !guard_.IsSkipped(state_.workingFolder, name);
  };
  auto answerOwed = [&](const std::string& name) {
    if (FindPending(name) != nullptr) return true;
    const std::optional<InFlightRecord> record = journal_.Find(name);
    return record && record->phase == RunPhase::Answered;
  };
  // A copy: telling whether a file is skipped may change the journal.
  const std::vector<InFlightRecord> records = journal_.Records();
  // An interrupted file goes first: another file's state check would settle the receipt
  // it left open without knowing whose it is.
  for (const InFlightRecord& record : records) {
    if (!answerOwed(record.name) && open(record.name)) return record.name;
  }
  // An answer that only waits to be saved holds up nobody once it has failed.
  std::vector<std::string> owed;
  for (const InFlightRecord& record : records) {
    if (answerOwed(record.name)) owed.push_back(record.name);
  }
  for (const PendingAnswer& p : pending_) {
    if (!contains(owed, p.name)) owed.push_back(p.name);
  }
  for (const std::string& name : owed) {
    if (!contains(answerFailed_, name) && open(name)) return name;
  }
  for (const std::string& name : waiting) {
    if (contains(owed, name) || journal_.Find(name)) continue;
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
      const bool ready = journal_.Ready();
      const bool damaged = journal_.Damaged();
      const std::string journalPath = JoinPath(state_.workingFolder, InFlightJournal::kFileName);
      SetTrouble(SaveTroubles::Cause::JournalUnreadable, journalPath, !ready && !damaged);
      if (damaged) {
        SetTrouble(SaveTroubles::Cause::JournalDamaged,
                   journalPath + " (copie: " + journal_.AsideName() + ")", true);
      } else if (troubles_.Clear(SaveTroubles::Cause::JournalDamaged)) {
        RefreshWarnings();
      }
      // Without its records nothing can be told from a file that already ran.
      if (!ready) return false;
      if (passedOver.empty()) Housekeep();
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
  if (FindPending(name) != nullptr || journal_.Find(name)) return true;
  const std::string response = ResponseFileName(ReceiptSuffix(name));
  const std::string path = JoinPath(state_.workingFolder, response);
  // One that cannot be deleted is replaced when the new response is saved, unless it is
  // no file at all (a folder): then nothing could answer this receipt file.
  if (files_->Exists(path)) files_->Delete(path);
  const bool free = !files_->Exists(path) || IsRegularFile(path);
  SetTrouble(SaveTroubles::Cause::Answer, response, !free);
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
      if (PendingAnswer* pending = FindPending(name)) {
        const PendingAnswer known = *pending;
        pause = SaveKnownAnswer(name, known.stamp, known.delivery, known.answer);
      } else if (const std::optional<InFlightRecord> record = journal_.Find(name);
                 record && record->phase == RunPhase::Answered) {
        pause = SaveKnownAnswer(name, record->stamp, record->delivery, *record->answer);
      } else {
        const RecoveryStep step = RecoverInterrupted(name);
        if (step == RecoveryStep::Wait) return false;
        if (step == RecoveryStep::RunNormally) ProcessReceiptFile(name);
        try {
          Conclude(name);
        } catch (...) {
          ReportException(WhatOf(std::current_exception()));
        }
        pause = !File().waitUnanswered;
      }
    } catch (...) {
      ReportException(WhatOf(std::current_exception()));
      try {
        Conclude(name);
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

bool ReceiptFileCycle::WriteRecord(RunPhase phase, const std::string& receiptNumber,
                                   const std::optional<EcrMark>& mark) {
  if (!file_ || !file_->record) return true;
  InFlightRecord moved = *file_->record;
  moved.phase = phase;
  moved.receiptNumber = receiptNumber;
  if (mark) moved.mark = mark;
  if (phase == RunPhase::Closed) {
    // Nothing more goes to the ECR: the answer's record, saved before the response, says
    // all this one would, one flush later. A crash in between is settled from the closing
    // phase, by asking the ECR, as a crash just before this save would be.
    file_->record = moved;
    file_->closedUnsaved = true;
    return true;
  }
  const bool saved = journal_.Put(moved);
  SetTrouble(SaveTroubles::Cause::Journal,
             JoinPath(state_.workingFolder, InFlightJournal::kFileName), !saved);
  if (!saved) {
    // The file waits unanswered; its record on the disk says where it was before.
    file_->waitUnanswered = true;
    return false;
  }
  file_->record = moved;
  return true;
}

void ReceiptFileCycle::SaveClosedPhase() {
  if (!file_ || !file_->closedUnsaved || !file_->record) return;
  file_->closedUnsaved = false;
  const bool saved = journal_.Put(*file_->record);
  SetTrouble(SaveTroubles::Cause::Journal,
             JoinPath(state_.workingFolder, InFlightJournal::kFileName), !saved);
}

void ReceiptFileCycle::SetTrouble(SaveTroubles::Cause cause, const std::string& subject,
                                  bool failing) {
  if (troubles_.Set(cause, subject, failing)) RefreshWarnings();
}

bool ReceiptFileCycle::RefuseStrangeEntry(const std::string& name) {
  BusyScope busy(state_.busy);
  {
    const FileScope file(*this, name, false);
    try {
      WriteResponse(kCannotOpenPrefix + name);
      SetTrouble(SaveTroubles::Cause::Answer, ResponseFileName(File().run.suffix),
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
    RunFile(name, log);
  } catch (...) {
    failure = std::current_exception();
  }
  // The log tells what happened to the ECR, so it is kept whatever went wrong; a file
  // that waits before reaching it leaves none, or every tick of the wait would.
  if (!File().waitUnanswered || File().reachedEcr) KeepLog(log);
  if (failure) std::rethrow_exception(failure);
}

std::optional<ReceiptFileContent> ReceiptFileCycle::ReadWithRetry(const std::string& path,
                                                                  bool writersSought) {
  const std::int64_t start = clock_.MonotonicMs();
  for (;;) {
    if (std::optional<ReceiptFileContent> content = ReadCompleteReceipt(path, writersSought)) {
      return content;
    }
    writersSought = false;
    if (clock_.MonotonicMs() - start >= kReadRetryMs) return std::nullopt;
    clock_.SleepMs(kReadRetryPauseMs);
  }
}

std::optional<DeliveryId> ReceiptFileCycle::DeliveryOf(const std::string& name,
                                                       const ReceiptFileContent& read) {
  if (const std::optional<InFlightRecord> record = journal_.Find(name)) {
    const DeliveryId& known = record->delivery;
    const std::optional<FileOrigin> origin =
        OriginOf(JoinPath(state_.workingFolder, known.pinned ? PinName(known.token) : name));
    if (known.sha256 == read.sha256 && origin && origin->device == read.identity.device &&
        origin->inode == read.identity.inode) {
      live_.Mark(known.token);
      return known;
    }
  }
  std::optional<DeliveryId> claimed =
      ClaimDelivery(state_.workingFolder, name, read.identity, read.sha256, *files_);
  if (claimed) live_.Mark(claimed->token);
  return claimed;
}

void ReceiptFileCycle::RunFile(const std::string& name, std::vector<std::string>& log) {
  const std::string journalPath = JoinPath(state_.workingFolder, InFlightJournal::kFileName);
  if (troubles_.Has(SaveTroubles::Cause::Journal)) {
    // Tried again quietly before anything of the file is read or copied.
    const bool saved = journal_.Flush();
    SetTrouble(SaveTroubles::Cause::Journal, journalPath, !saved);
    if (!saved) {
      File().waitUnanswered = true;
      return;
    }
  }
  std::optional<ReceiptFileContent> read =
      ReadWithRetry(JoinPath(state_.workingFolder, name), readiness_.TakeFoundWhole(name));
  if (!read) {
    WriteResponse(kCannotOpenPrefix + name);
    return;
  }
  CurrentFile& file = File();
  file.delivery = DeliveryOf(name, *read);
  if (!file.delivery) {
    // Changed since it was read: it is read again on the next tick.
    file.waitUnanswered = true;
    return;
  }
  std::vector<std::string> lines = std::move(read->lines);

  if (state_.settings.sintaxa == 1) {
    // Read for every file, so that an edit of the settings file counts from the next one.
    IniFile ini;
    ini.Load(JoinPath(state_.workingFolder, "XRUVODRV.INI"));
    LegacyConversionSettings conversion;
    conversion.unitConversions = ini.SectionValues("ConversieUM");
    conversion.advanceReversal = ini.SectionValues("ConversieStornoAvans");
    lines = ConvertLegacyLines(lines, conversion);
  }

  if (state_.settings.history) {
    const std::string copy = "ONLINE" + file.run.suffix + "_" + file.run.stamp + ".TXT";
    CreateFolders(state_.historyFolder);
    if (!WriteLinesAtomic(JoinPath(state_.historyFolder, copy), lines)) {
      Log(LogLevel::Warning, "cannot write the history copy " + copy);
    }
  }

  if (lines.empty()) {
    File().response.Refuse("8005;Fisierul de intrare nu contine date");
    return;
  }

  ValidationOptions options;
  options.connected = state_.connected;
  const ValidationResult validation = ValidateReceiptLines(lines, options);
  if (!validation.ok) {
    File().response.Refuse(validation.errorText);
    return;
  }

  ReceiptRun run{state_, file.run, op_, clock_, file.response, lines, validation, log, &phases_};
  const int port = validation.port.value_or(state_.settings.port);
  const std::optional<InFlightRecord> earlier = journal_.Find(name);
  InFlightRecord record;
  record.name = name;
  record.delivery = *file.delivery;
  record.stamp = file.run.stamp;
  record.kind = SaleClosesReceipt(validation.flags) && validation.flags.fiscalGroup
                    ? FileKind::Sale
                    : FileKind::Other;
  record.phase = RunPhase::Preparing;
  record.port = port == 0 ? 1 : port;
  const bool saved = journal_.Put(record);
  SetTrouble(SaveTroubles::Cause::Journal, journalPath, !saved);
  if (!saved) {
    // Without its record a crash could print the file twice; it waits unanswered.
    file.waitUnanswered = true;
    return;
  }
  file.record = record;
  file.reachedEcr = true;
  if (earlier && earlier->delivery.token != file.delivery->token)
    ReleaseIfUnused(earlier->delivery);
  std::exception_ptr failure;
  try {
    if (execution_->PrepareEcrLink(run) && run.Reached(RunPhase::Lines)) {
      if (validation.flags.fiscalGroup) {
        execution_->ExecuteReceipt(run);
      } else {
        execution_->ExecuteAdministrative(run);
      }
    }
  } catch (...) {
    failure = std::current_exception();
  }
  // The link is closed and its log handed over on every way out.
  try {
    execution_->EndFile(run);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
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
  warningLines_ = guard_.WarningLines();
  warningLines_.insert(warningLines_.end(), recoveryNotes_.begin(), recoveryNotes_.end());
  const std::vector<std::string> troubles = troubles_.WarningLines();
  warningLines_.insert(warningLines_.end(), troubles.begin(), troubles.end());
  if (folderUnwritable_) warningLines_.push_back(kFolderUnwritableWarning);
}

void ReceiptFileCycle::CleanOldFiles() {
  // What the ledger holds in flight, and its answer, is no waiting file: deleting it would
  // lose an answer owed or, with its record gone, print it again.
  std::vector<std::string> kept;
  bool keepAll = true;
  try {
    if (journal_.Ready()) {
      std::vector<std::string> owed;
      for (const PendingAnswer& p : pending_) owed.push_back(p.name);
      kept = NamesInFlight(journal_.Records(), journal_.Executed(), owed);
      keepAll = false;
    }
  } catch (...) {
    keepAll = true;
  }
  ruvo::CleanOldFiles(state_, clock_, *files_, kept, keepAll);
  try {
    // A killed run's private files go; what they stood for is in the journal.
    Housekeep();
    RemoveStrayPrivateFiles();
    // What the journal remembers from before a restart is shown from the start.
    guard_.RebuildWarnings();
    RefreshWarnings();
  } catch (...) {
  }
}

}  // namespace ruvo
