#include "app/ReceiptCycle.h"

#include <exception>
#include <iostream>

#include "app/CleanOldFiles.h"
#include "app/ReceiptFileReader.h"
#include "app/ResponseWarnings.h"
#include "platform/AtomicFile.h"
#include "platform/ExceptionText.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/TimeFormat.h"
#include "receipt/LegacyConversion.h"

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
      guard_(*files_, clock),
      response_(state, op, guard_.WarningLines()) {}

ReceiptFileCycle::ReceiptFileCycle(DriverState& state, IOperator& op, IClock& clock,
                                   IReceiptExecution& execution, IFileOperations& files)
    : state_(state),
      op_(op),
      clock_(clock),
      execution_(&execution),
      files_(&files),
      guard_(files, clock),
      response_(state, op, guard_.WarningLines()) {}

ReceiptFileCycle::ReceiptFileCycle(DriverState& state, IOperator& op, IClock& clock)
    : state_(state),
      op_(op),
      clock_(clock),
      ownedExecution_(std::make_unique<UnavailableReceiptExecution>()),
      ownedFiles_(std::make_unique<PosixFileOperations>()),
      execution_(ownedExecution_.get()),
      files_(ownedFiles_.get()),
      guard_(*files_, clock),
      response_(state, op, guard_.WarningLines()) {}

std::optional<std::string> ReceiptFileCycle::FindNext() {
  for (const std::string& name : ListMatching(state_.workingFolder, kReceiptMask)) {
    if (!guard_.IsSkipped(state_.workingFolder, name)) return name;
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

  BusyScope busy(state_.busy);
  try {
    state_.fileSuffix = ReceiptSuffix(*name);
    response_.BeginFile();
    ranIdentity_.reset();
    const std::string oldResponse =
        JoinPath(state_.workingFolder, ResponseFileName(state_.fileSuffix));
    // One that cannot be deleted is replaced when the new response is saved.
    if (files_->Exists(oldResponse)) files_->Delete(oldResponse);
    ProcessReceiptFile(*name);
  } catch (...) {
    ReportException(WhatOf(std::current_exception()));
  }

  try {
    if (guard_.Remove(state_.workingFolder, *name, state_.fileStamp, ranIdentity_) ==
        RemovalOutcome::Remembered) {
      RefreshWarnings();
    }
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
  // The fiscal series stays: the receipt executor clears it when a receipt file starts.
}

void ReceiptFileCycle::ProcessReceiptFile(const std::string& name) {
  state_.fileStamp = FormatFileStamp(clock_.Now());
  state_.fileSuffix = ReceiptSuffix(name);
  ClearResponseItems();

  std::vector<std::string> log;
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

std::optional<ReceiptFileContent> ReceiptFileCycle::ReadWithRetry(const std::string& path) {
  const std::int64_t start = clock_.MonotonicMs();
  for (;;) {
    if (std::optional<ReceiptFileContent> content = ReadCompleteReceipt(path, clock_)) {
      return content;
    }
    if (clock_.MonotonicMs() - start >= kReadRetryMs) return std::nullopt;
    clock_.SleepMs(kReadRetryPauseMs);
  }
}

void ReceiptFileCycle::RunFile(const std::string& name, std::vector<std::string>& log) {
  std::optional<ReceiptFileContent> read = ReadWithRetry(JoinPath(state_.workingFolder, name));
  if (!read) {
    WriteResponse("Nu pot deschide fisierului " + name);
    return;
  }
  ranIdentity_ = read->identity;
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

  ReceiptRun run{state_, op_, clock_, response_, lines, validation, log};
  std::exception_ptr failure;
  try {
    if (execution_->PrepareEcrLink(run)) {
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

void ReceiptFileCycle::RefreshWarnings() { ruvo::RefreshWarnings(state_, guard_.WarningLines()); }

void ReceiptFileCycle::CleanOldFiles() { ruvo::CleanOldFiles(state_, clock_, *files_); }

}  // namespace ruvo
