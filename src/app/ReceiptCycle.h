#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/DriverState.h"
#include "app/ReceiptExecution.h"
#include "app/ReceiptFileGuard.h"
#include "app/ReceiptFileReader.h"
#include "app/ResponseFile.h"
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
inline const std::string kProcessingFailedPrefix = "8098;Eroare la procesarea fisierului : ";

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

  // The guard that keeps a file from being executed twice (for the window and tests).
  const ReceiptFileGuard& Guard() const { return guard_; }

 private:
  // The first waiting receipt file that is not a remembered undeletable one.
  std::optional<std::string> FindNext();
  // Steps 2 to 6: read, convert, copy, check and execute; fills log.
  void RunFile(const std::string& name, std::vector<std::string>& log);
  std::optional<ReceiptFileContent> ReadWithRetry(const std::string& path);
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
  ReceiptFileGuard guard_;
  ResponseWriter response_;
  std::optional<FileIdentity> ranIdentity_;  // the version of the current file that was read
};

}  // namespace ruvo
