#include "app/ReceiptCycle.h"

#include <algorithm>
#include <exception>
#include <iostream>

#include "app/CleanOldFiles.h"
#include "app/ReceiptFileReader.h"
#include "app/ResponseWarnings.h"
#include "app/StrangeEntries.h"
#include "platform/AtomicFile.h"
#include "platform/ExceptionText.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/TimeFormat.h"
#include "platform/WriteProbe.h"
#include "receipt/LegacyConversion.h"
#include "receipt/ReceiptExecutor.h"

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
      response_(state, op, warningLines_),
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
      response_(state, op, warningLines_),
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
      response_(state, op, warningLines_),
      strangeEntries_(*files_),
      readiness_(clock) {}

std::optional<std::string> ReceiptFileCycle::FindNext() {
  const std::int64_t lookNs = clock_.FileTimeNowNs();
  const std::vector<std::string> waiting = ListEntriesMatching(state_.workingFolder, kReceiptMask);
  readiness_.BeginLook(waiting, lookNs);
  auto isWaiting = [&](const std::string& name) {
    return std::find(waiting.begin(), waiting.end(), name) != waiting.end();
  };
  // A record whose file is gone belongs to a run that was answered (or given up by the
  // sales application): there is nobody left to answer.
  std::vector<std::string> gone;
  for (const InFlightRecord& record : journal_.Records()) {
    if (!isWaiting(record.name)) gone.push_back(record.name);
  }
  for (const std::string& name : gone) journal_.Remove(name);
  // An interrupted file goes first: another file's state check would settle the receipt
  // it left open without knowing whose it is.
  for (const InFlightRecord& record : journal_.Records()) {
    if (!guard_.IsSkipped(state_.workingFolder, record.name)) return record.name;
  }
  for (const std::string& name : waiting) {
    if (strangeEntries_.IsSetAside(state_.workingFolder, name)) continue;
    if (guard_.IsSkipped(state_.workingFolder, name)) continue;
    if (readiness_.Ready(state_.workingFolder, name, state_.settings.pauzaFisierScris)) return name;
  }
  return std::nullopt;
}

bool ReceiptFileCycle::PickUpNext() {
  if (state_.busy) return false;
  std::optional<std::string> name;
  try {
    name = FindNext();
  } catch (...) {
    return false;  // a folder that cannot be listed now may be listed on the next tick
  }
  if (!name) return false;
  if (IsStrangeEntry(JoinPath(state_.workingFolder, *name))) return RefuseStrangeEntry(*name);

  BusyScope busy(state_.busy);
  // Nothing is sent to the ECR for a file that could not be answered.
  if (!AnswerPlaceReady()) return true;
  try {
    state_.fileSuffix = ReceiptSuffix(*name);
    response_.BeginFile();
    ranSha256_.reset();
    record_.reset();
    recoveryLog_.clear();
    const RecoveryStep step = RecoverInterrupted(*name);
    if (step == RecoveryStep::Wait) return true;
    if (step == RecoveryStep::RunNormally) {
      const std::string oldResponse =
          JoinPath(state_.workingFolder, ResponseFileName(state_.fileSuffix));
      // One that cannot be deleted is replaced when the new response is saved.
      if (files_->Exists(oldResponse)) files_->Delete(oldResponse);
      ProcessReceiptFile(*name);
    }
  } catch (...) {
    ReportException(WhatOf(std::current_exception()));
  }
  FinishFile(*name);
  clock_.SleepMs(kPauseAfterFileMs);
  return true;
}

bool ReceiptFileCycle::AnswerPlaceReady() {
  const bool writable = CanWriteFileIn(state_.workingFolder);
  if (writable == !folderUnwritable_) return writable;
  folderUnwritable_ = !writable;
  if (!writable) {
    std::cerr << "Ruvo_Drv: no response file can be written in " << state_.workingFolder
              << "; receipt files wait there until one can\n";
  }
  RefreshWarnings();
  return writable;
}

void ReceiptFileCycle::FinishFile(const std::string& name) {
  try {
    if (!response_.Written() || !response_.LastSaveSucceeded()) {
      // A file nobody was answered for stays, with its record, so that a later tick (or
      // a restart) answers it; a resend by the sales application could print it twice.
      std::vector<std::string> unsaved;
      Note(name, "raspunsul nu a putut fi scris; fisierul asteapta", unsaved);
      return;
    }
    const RemovalOutcome outcome =
        guard_.Remove(state_.workingFolder, name, state_.fileStamp, ranSha256_);
    journal_.Remove(name);
    if (outcome == RemovalOutcome::Remembered) RefreshWarnings();
  } catch (...) {
    ReportException(WhatOf(std::current_exception()));
  }
}

void ReceiptFileCycle::WriteRecord(RunPhase phase, const std::string& receiptNumber) {
  if (!record_) return;
  record_->phase = phase;
  record_->receiptNumber = receiptNumber;
  // A run already under way goes on: stopping half-way through a receipt helps nobody.
  journal_.Put(*record_);
}

bool ReceiptFileCycle::RefuseStrangeEntry(const std::string& name) {
  BusyScope busy(state_.busy);
  try {
    state_.fileSuffix = ReceiptSuffix(name);
    state_.fileStamp = FormatFileStamp(clock_.Now());
    response_.BeginFile();
    ClearResponseItems();
    WriteResponse(kCannotOpenPrefix + name);
    strangeEntries_.SetAside(state_.workingFolder, name, state_.fileStamp);
  } catch (...) {
    ReportException(WhatOf(std::current_exception()));
  }
  clock_.SleepMs(kPauseAfterFileMs);
  return true;
}

void ReceiptFileCycle::ReportException(const std::string& what) {
  try {
    // Without this the sales application would wait for an answer that never comes.
    if (!response_.Written()) WriteResponse(kProcessingFailedPrefix + what);
    op_.ShowDefaultError(what);
  } catch (...) {
    std::cerr << "Ruvo_Drv: " << what << '\n';
  }
}

void ReceiptFileCycle::ClearResponseItems() {
  ResponseItems& r = state_.response;
  r.fiscalReceiptNumber.reset();
  r.nonFiscalReceiptNumber.reset();
  r.extraMessage.reset();
  r.pendingReceiptState.reset();
  r.drawerCash.reset();
  r.administrativeAnswer.reset();
  r.autoFinishedReceipt.reset();
  r.extraLines.clear();
  r.statusNotRead = false;
  // The fiscal series stays: the receipt executor clears it when a receipt file starts.
}

void ReceiptFileCycle::ProcessReceiptFile(const std::string& name) {
  state_.fileStamp = FormatFileStamp(clock_.Now());
  state_.fileSuffix = ReceiptSuffix(name);
  ClearResponseItems();

  std::vector<std::string> log = std::move(recoveryLog_);
  recoveryLog_.clear();
  std::exception_ptr failure;
  try {
    RunFile(name, log);
  } catch (...) {
    failure = std::current_exception();
  }
  // The log tells what happened to the ECR, so it is saved whatever went wrong.
  SaveLog(log);
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

void ReceiptFileCycle::RunFile(const std::string& name, std::vector<std::string>& log) {
  std::optional<ReceiptFileContent> read =
      ReadWithRetry(JoinPath(state_.workingFolder, name), readiness_.TakeFoundWhole(name));
  if (!read) {
    WriteResponse(kCannotOpenPrefix + name);
    return;
  }
  ranSha256_ = read->sha256;
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
    const std::string copy = "ONLINE" + state_.fileSuffix + "_" + state_.fileStamp + ".TXT";
    CreateFolders(state_.historyFolder);
    if (!WriteLinesAtomic(JoinPath(state_.historyFolder, copy), lines)) {
      std::cerr << "Ruvo_Drv: cannot write the history copy " << copy << '\n';
    }
  }

  if (lines.empty()) {
    WriteResponse("8005;Fisierul de intrare nu contine date");
    return;
  }

  ValidationOptions options;
  options.connected = state_.connected;
  const ValidationResult validation = ValidateReceiptLines(lines, options);
  if (!validation.ok) {
    WriteResponse(validation.errorText);
    return;
  }

  ReceiptRun run{state_, op_, clock_, response_, lines, validation, log, &phases_};
  const int port = validation.port.value_or(state_.settings.port);
  record_ = InFlightRecord{name,
                           read->sha256,
                           state_.fileStamp,
                           SaleClosesReceipt(validation.flags) && validation.flags.fiscalGroup
                               ? FileKind::Sale
                               : FileKind::Other,
                           RunPhase::Preparing,
                           port == 0 ? 1 : port,
                           {}};
  if (!journal_.Put(*record_)) {
    // Without its record a crash could print the file twice; it waits unanswered, as
    // when no response can be written.
    record_.reset();
    return;
  }
  std::exception_ptr failure;
  try {
    if (execution_->PrepareEcrLink(run)) {
      run.Reached(RunPhase::Lines);
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

void ReceiptFileCycle::SaveLog(const std::vector<std::string>& log) {
  if (!state_.settings.logFile) return;
  const std::string name = "Log" + state_.fileSuffix + "_" + state_.fileStamp + ".TXT";
  CreateFolders(state_.logFolder);
  if (!WriteLinesAtomic(JoinPath(state_.logFolder, name), log)) {
    std::cerr << "Ruvo_Drv: cannot write the log file " << name << '\n';
  }
  if (state_.settings.history) {
    CreateFolders(state_.historyFolder);
    if (!WriteLinesAtomic(JoinPath(state_.historyFolder, name), log)) {
      std::cerr << "Ruvo_Drv: cannot write the history copy " << name << '\n';
    }
  }
}

void ReceiptFileCycle::WriteResponse(const std::string& text) { response_.WriteResponse(text); }

void ReceiptFileCycle::RefreshWarnings() {
  RebuildWarningLines();
  ruvo::RefreshWarnings(state_, warningLines_);
}

void ReceiptFileCycle::RebuildWarningLines() {
  warningLines_ = guard_.WarningLines();
  warningLines_.insert(warningLines_.end(), recoveryNotes_.begin(), recoveryNotes_.end());
  if (folderUnwritable_) warningLines_.push_back(kFolderUnwritableWarning);
}

void ReceiptFileCycle::CleanOldFiles() {
  ruvo::CleanOldFiles(state_, clock_, *files_);
  try {
    // What the journal remembers from before a restart is shown from the start.
    guard_.RebuildWarnings();
    RefreshWarnings();
  } catch (...) {
  }
}

}  // namespace ruvo
