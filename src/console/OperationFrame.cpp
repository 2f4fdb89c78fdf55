#include "console/OperationFrame.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "app/InterruptedRun.h"
#include "platform/AtomicFile.h"
#include "platform/ExceptionText.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/TimeFormat.h"

namespace ruvo {

namespace {

// A log that cannot be written is told with the system's own reason; the operation itself
// has already run, so nothing else changes. The name counts whole seconds, so a second
// operation within the same second adds its lines to the log of the first instead of
// replacing them.
void SaveLogCopy(const ConsoleContext& context, const std::string& folder, const std::string& name,
                 const std::vector<std::string>& lines) {
  CreateFolders(folder);
  const std::string path = JoinPath(folder, name);
  std::vector<std::string> content = ReadLines(path).value_or(std::vector<std::string>{});
  content.insert(content.end(), lines.begin(), lines.end());
  errno = 0;
  if (WriteLinesAtomic(path, content)) return;
  const int error = errno;
  std::string text = "Nu pot salva fisierul " + path;
  if (error != 0) text += " : " + std::string(std::strerror(error));
  context.driver.op.ShowDefaultError(text);
}

std::string LogFolderOf(const ConsoleContext& context, OperationLogPlace place) {
  return place == OperationLogPlace::LogFolder ? context.state.logFolder
                                               : context.state.workingFolder;
}

void SaveOperationLog(const ConsoleContext& context, const OperationKind& kind,
                      const std::vector<std::string>& lines) {
  const Settings& settings = context.state.settings;
  if (!settings.logFile || kind.logPlace == OperationLogPlace::None) return;
  const std::string count = std::to_string(lines.size());
  const bool announce = kind.announceLogSave && settings.mesajLaListareItem;
  const std::string name =
      "Log_" + kind.word + "_" + LogTimeStamp(context.driver.clock.Now()) + ".TXT";

  if (announce) ShowPlainMessage(context, "Salvez in fisierul de LOG " + count + " linii");
  SaveLogCopy(context, LogFolderOf(context, kind.logPlace), name, lines);
  if (kind.historyCopy && settings.history) {
    if (announce) {
      ShowPlainMessage(context, "Salvez in History fisierul de LOG cu " + count + " linii");
    }
    SaveLogCopy(context, context.state.historyFolder, name, lines);
  }
}

// Where the state check would write a receipt file's answer: the driver's log instead.
class LoggedRefusal final : public IResponseWriter {
 public:
  void WriteResponse(const std::string& text) override {
    Log(LogLevel::Warning, "manual operation refused by the ECR state check: " + text);
  }
};

// Tells the state which operation holds the ECR, from its start to its end on every path.
class OperationScope {
 public:
  OperationScope(const ConsoleContext& context, const OperationKind& kind)
      : operation_(context.state.operation) {
    operation_ =
        RunningOperation{kind.title.empty() ? kind.word : kind.title, context.driver.clock.Now(),
                         context.driver.clock.MonotonicMs(), kind.report, nullptr};
  }
  ~OperationScope() { operation_ = RunningOperation{}; }
  OperationScope(const OperationScope&) = delete;
  OperationScope& operator=(const OperationScope&) = delete;

 private:
  RunningOperation& operation_;
};

// Lends the running operation its link while the body runs, so a stop can reach it.
class LinkLoan {
 public:
  LinkLoan(RunningOperation& operation, TXruvoLinux& link) : operation_(operation) {
    operation_.link = &link;
  }
  ~LinkLoan() { operation_.link = nullptr; }
  LinkLoan(const LinkLoan&) = delete;
  LinkLoan& operator=(const LinkLoan&) = delete;

 private:
  RunningOperation& operation_;
};

bool OpenAndRun(const ConsoleContext& context, TXruvoLinux& link,
                const std::function<bool(TXruvoLinux&)>& body) {
  if (!link.Engine().OpenPort(context.state.settings.port)) {
    // The link sets no error of its own when the port fails to open; asking whether it is
    // ready gives the operator the port error to read after the message.
    link.Engine().IsReady();
    ShowOperationFailure(context, kPortNotOpenMessage + link.Engine().LastError());
    return false;
  }
  const LinkLoan loan(context.state.operation, link);
  return body(link);
}

}  // namespace

void ShowOperationFailure(const ConsoleContext& context, const std::string& text) {
  context.driver.op.RomMessageDlg(text, kOperationErrorCaption, MsgKind::Warning, MsgButtons::Ok);
}

std::string OperationInProgressText(const DriverState& state) {
  if (!state.operation.Active()) return "";
  return kOperationInProgress + state.operation.name;
}

void ShowOperationInProgress(const ConsoleContext& context) {
  context.driver.op.RomMessageDlg(OperationInProgressText(context.state), kWarningCaption,
                                  MsgKind::Warning, MsgButtons::Ok);
}

void ShowPlainMessage(const ConsoleContext& context, const std::string& text) {
  context.driver.op.RomMessageDlg(text, kProgramTitle, MsgKind::Information, MsgButtons::Ok);
}

// The operator is told which file waits; the log says it once more for the technician.
bool RefusedForInterruptedRun(const ConsoleContext& context) {
  const std::optional<std::string> waiting = UnsettledInterruptedFile(context.state.workingFolder);
  if (!waiting) return false;
  Log(LogLevel::Warning,
      "manual operation refused: the interrupted run of " + *waiting + " waits for the processing");
  ShowOperationFailure(context, kInterruptedRunWaitsPrefix + *waiting + kInterruptedRunWaitsAdvice);
  return true;
}

EcrCheckResult CheckEcrStateFor(const ConsoleContext& context, TXruvoLinux& link,
                                EcrCheckKind kind) {
  LoggedRefusal response;
  return CheckEcrState(link, kind,
                       EcrCheckContext{context.state.settings.tratareEroareStare, context.driver.op,
                                       response});
}

bool RunOperation(const ConsoleContext& context, const OperationKind& kind,
                  const std::function<bool(TXruvoLinux&)>& body) {
  if (context.state.operation.Active()) {
    try {
      ShowOperationInProgress(context);
    } catch (...) {
    }
    return false;
  }
  const OperationScope running(context, kind);
  std::exception_ptr failure;
  bool result = false;
  try {
    if (kind.waitsForInterruptedRun && RefusedForInterruptedRun(context)) return false;
    const std::unique_ptr<TXruvoLinux> link = context.driver.MakeLink();
    if (kind.longTimeOut) link->SetLongTimeOut(context.state.settings.longTimeOut);
    try {
      result = OpenAndRun(context, *link, body);
    } catch (...) {
      failure = std::current_exception();
      result = false;
    }
    // The log tells what happened up to the failure, so it is saved on that path too.
    try {
      SaveOperationLog(context, kind, link->Engine().ExchangeLog());
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
    link->Engine().ClosePort();
  } catch (...) {
    if (!failure) failure = std::current_exception();
    result = false;
  }
  if (failure) {
    try {
      context.driver.op.ShowDefaultError(WhatOf(failure));
    } catch (...) {
      // The operator's box itself failed; the operation is over and reported as failed.
    }
    return false;
  }
  return result;
}

}  // namespace ruvo
