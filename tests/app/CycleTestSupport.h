#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/DriverState.h"
#include "app/Operator.h"
#include "app/ReceiptCycle.h"
#include "app/ReceiptExecution.h"
#include "app/ReceiptFileGuard.h"
#include "platform/Clock.h"
#include "platform/TempFolder.h"
#include "support/FileBytes.h"
#include "support/RecordingOperator.h"

namespace ruvo::testing {

inline bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// Sets the file's last-write time to a local date and time.
inline void SetLastWrite(const std::string& path, const LocalDateTime& dt) {
  std::tm tm{};
  tm.tm_year = dt.year - 1900;
  tm.tm_mon = dt.month - 1;
  tm.tm_mday = dt.day;
  tm.tm_hour = dt.hour;
  tm.tm_min = dt.minute;
  tm.tm_sec = dt.second;
  tm.tm_isdst = -1;
  const timespec times[2] = {{std::mktime(&tm), 0}, {std::mktime(&tm), 0}};
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// The executors as the cycle sees them: records each call with the lines it was given
// and answers as told.
class FakeExecution final : public IReceiptExecution {
 public:
  bool PrepareEcrLink(ReceiptRun& run) override {
    ++prepares;
    busyDuringRun = run.state.busy;
    if (onPrepare) onPrepare(run);
    if (!prepareResult) run.response.WriteResponse("8020;Bon in derulare ");
    return prepareResult;
  }
  bool ExecuteReceipt(ReceiptRun& run) override {
    ++receipts;
    executedLines.push_back(run.lines);
    run.log.push_back("12:00:00:000 receipt");
    if (onExecute) onExecute(run);
    // As the receipt executor does before it sends the close.
    if (!run.Reached(RunPhase::Closing)) return false;
    ++closesSent;
    if (throwText) throw std::runtime_error(*throwText);
    // As the receipt executor does once the receipt is closed and cut.
    if (closedNumber) run.Reached(RunPhase::Closed, *closedNumber);
    run.response.WriteResponse(answer);
    return answer == kResponseOk;
  }
  void ExecuteAdministrative(ReceiptRun& run) override {
    ++administrative;
    executedLines.push_back(run.lines);
    run.log.push_back("12:00:00:000 administrative");
    if (onExecute) onExecute(run);
    if (throwText) throw std::runtime_error(*throwText);
    run.response.WriteResponse(answer);
  }
  void EndFile(ReceiptRun&) override { ++ends; }
  SaleSettlement SettleInterruptedSale(const Settings&, const InFlightRecord&, IRunPhases&,
                                       std::vector<std::string>&) override {
    ++settlements;
    return settlement;
  }

  int Executions() const { return receipts + administrative; }

  bool prepareResult = true;
  std::string answer = kResponseOk;
  std::optional<std::string> throwText;
  std::optional<std::string> closedNumber;  // the number a sale's close reports, when set
  std::function<void(ReceiptRun&)> onPrepare;
  std::function<void(ReceiptRun&)> onExecute;
  SaleSettlement settlement;  // what the ECR says of an interrupted sale: silent unless set
  int prepares = 0, receipts = 0, administrative = 0, ends = 0, closesSent = 0, settlements = 0;
  bool busyDuringRun = false;
  std::vector<std::vector<std::string>> executedLines;
};

// The real file system, except that the files named in undeletable resist deletion
// (and renaming when renameFails): as root, folder permissions stop neither. The driver's
// private name for a file on its way out ("...-" + name) resists as the file does.
class StubbornFileOperations final : public IFileOperations {
 public:
  bool Delete(const std::string& path) override {
    ++deleteCalls;
    if (IsStubborn(path)) return false;
    return real.Delete(path);
  }
  bool Rename(const std::string& from, const std::string& to) override {
    if (renameFails && IsStubborn(from)) return false;
    return real.Rename(from, to);
  }
  bool Exists(const std::string& path) override { return real.Exists(path); }
  bool Link(const std::string& from, const std::string& to) override {
    if (!linkWorks) return false;
    return real.Link(from, to);
  }

  bool IsStubborn(const std::string& path) const {
    for (const std::string& name : undeletable) {
      if (path.size() > name.size() &&
          path.compare(path.size() - name.size(), name.size(), name) == 0 &&
          (path[path.size() - name.size() - 1] == '/' ||
           path[path.size() - name.size() - 1] == '-')) {
        return true;
      }
    }
    return false;
  }

  PosixFileOperations real;
  std::vector<std::string> undeletable;
  bool renameFails = false;
  bool linkWorks = true;  // false: a file system without hard links
  int deleteCalls = 0;
};

// A working folder with a driver state pointing at it; connected, processing on.
struct CycleFixtureBase {
  CycleFixtureBase() {
    state.workingFolder = folder.Path() + "/";
    state.logFolder = state.workingFolder + "Log/";
    state.historyFolder = state.workingFolder + "History/";
    state.connected = true;
    state.processing = true;
    // The files of these tests are whole when dropped; waiting for writers is tested apart.
    state.settings.pauzaFisierScris = 0;
  }
  std::string PathOf(const std::string& name) const { return state.workingFolder + name; }
  std::string Read(const std::string& name) const { return ReadBytes(PathOf(name)); }
  void Drop(const std::string& name, const std::string& bytes) { WriteBytes(PathOf(name), bytes); }

  TempFolder folder;
  DriverState state;
  VirtualClock clock;
  RecordingOperator op;
  FakeExecution execution;
};

}  // namespace ruvo::testing
