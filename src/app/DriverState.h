#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/RunningOperation.h"
#include "app/Settings.h"

namespace ruvo {

// Warning flags of the last pre-execution check; they stay from one file to the next.
struct WarningFlags {
  bool paperNearEnd = false;
  bool journalAlmostFull = false;
  bool notFiscalized = false;
};

// The state the main window owns. The core keeps it UI-neutral; a window observes it.
struct DriverState {
  Settings settings;
  std::string workingFolder;  // always ends with "/"
  std::string logFolder;      // workingFolder + "Log/"
  std::string historyFolder;  // workingFolder + "History/"

  bool processing = false;        // processing on/off
  bool connected = false;         // last connection check succeeded
  bool busy = false;              // a file, an idle check or a retry is running
  bool checkComEnabled = false;   // the connection retry timer TcheckCOM
  bool processorEnabled = false;  // the processing timer Tprocessor
  bool windowVisible = false;
  RunningOperation operation;  // the manual operation under way, if any
  // A manual operation whose ECR part is over but whose run is not (the pause after a
  // report): another operation, a start or a stop waits for its end.
  bool operationEnding = false;

  int jeFreeLines = -1;  // -1: not read yet
  WarningFlags warnings;
  std::vector<std::string> warningBox;  // the lines of the window's warning box

  // "Serie Fiscala : " of the answers: read by a "24" line or the monthly export, it stays
  // from one file to the next until a receipt file starts executing. Everything else an
  // answer says about its file is in that file's FileRun.
  std::optional<std::string> fiscalSeries;

  // Lines the driver's services add to `ctl status` (the HTTPS server's fingerprint).
  std::vector<std::string> serviceLines;
  // Warnings of the driver's services (a damaged HTTP key record): in the warning box
  // with the cycle's own, whenever it is rebuilt.
  std::vector<std::string> serviceWarnings;
  // The cycle's own lines of the warning box as last rebuilt (a damaged journal, answers
  // that cannot be saved): they stand until the cycle rebuilds the box again.
  std::vector<std::string> standingWarnings;
};

}  // namespace ruvo
