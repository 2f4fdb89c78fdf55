#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/RunningOperation.h"
#include "app/Settings.h"

namespace ruvo {

// What the response file says about the file being processed, beside its first lines.
// An item is written when it is set; the cycle clears them as the file's life goes on.
struct ResponseItems {
  std::optional<std::string> fiscalReceiptNumber;     // "BON FISCAL NR. "
  std::optional<std::string> fiscalSeries;            // "Serie Fiscala : " (kept across files)
  std::optional<std::string> nonFiscalReceiptNumber;  // "BON NEFISCAL NR. "
  std::optional<std::string> extraMessage;
  std::optional<std::string> pendingReceiptState;     // cleared once written
  std::optional<std::string> drawerCash;              // as the ECR gave it (10 characters)
  std::optional<std::string> administrativeAnswer;
  std::optional<std::string> autoFinishedReceipt;     // "A FOST FINALIZAT AUTOMAT BONUL "
  std::vector<std::string> extraLines;
  // The file ran without reading the ECR's status (the pending-receipt query): the warning
  // flags are the previous file's and say nothing about this one.
  bool statusNotRead = false;
};

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

  int jeFreeLines = -1;  // -1: not read yet
  WarningFlags warnings;
  std::vector<std::string> warningBox;  // the lines of the window's warning box

  ResponseItems response;
  std::string fileStamp;   // "yyyy_mm_dd_hh_mm_ss" of the file being processed
  std::string fileSuffix;  // what follows "ONLINE" in its name
};

}  // namespace ruvo
