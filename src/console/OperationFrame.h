#pragma once

#include <functional>
#include <string>

#include "app/DriverContext.h"
#include "app/DriverState.h"
#include "ecr/TXruvoLinux.h"

namespace ruvo {

// Where a manual operation's exchange log is saved.
enum class OperationLogPlace {
  LogFolder,      // the working folder's Log/
  CurrentFolder,  // the bare file name: the process's current folder (the working folder)
};

// What sets one manual operation's frame apart from another's.
struct OperationKind {
  std::string word;          // the log name is "Log_" + word + "_" + LogTimeStamp + ".TXT"
  bool longTimeOut = false;  // the link takes the "LongTimeOut" setting
  OperationLogPlace logPlace = OperationLogPlace::LogFolder;
  bool historyCopy = false;  // a second copy of the log in History/ when "History" is on
};

inline const OperationKind kZReportOperation{"RapZ", true, OperationLogPlace::LogFolder, false};
inline const OperationKind kXReportOperation{"RapX", true, OperationLogPlace::LogFolder, false};
inline const OperationKind kMfReportOperation{"RapMF", false, OperationLogPlace::CurrentFolder,
                                              false};
inline const OperationKind kCancelOperation{"ANULARE", true, OperationLogPlace::LogFolder, true};
inline const OperationKind kCloseOperation{"INCHIDEREBON", true, OperationLogPlace::LogFolder,
                                           true};
inline const OperationKind kCashOperation{"InOutNumerar", false, OperationLogPlace::CurrentFolder,
                                          false};
inline const OperationKind kLogoOperation{"LoadBMP", false, OperationLogPlace::LogFolder, false};
inline const OperationKind kExportOperation{"ExportXML", false, OperationLogPlace::CurrentFolder,
                                            false};

inline const std::string kPortNotOpenMessage = "Nu pot deschide portul serial !\r";

// What a manual operation reaches through the one main window: time, the event pump, the
// person at the machine (every message goes through its RomMessageDlg), the ports, and the
// driver's state (the selected port, the time-out, the log and history settings, folders).
struct ConsoleContext {
  DriverContext driver;
  DriverState& state;
};

// The one sequence every manual operation follows: a fresh link (with the long time-out
// where the kind says so), the selected port opened ("Nu pot deschide portul serial !\r" +
// LastError otherwise), the body, the exchange log saved where the kind says, the port
// closed and the link freed on every path, an exception from the body included. Returns
// the body's result; false when the port did not open.
bool RunOperation(const ConsoleContext& context, const OperationKind& kind,
                  const std::function<bool(TXruvoLinux&)>& body);

}  // namespace ruvo
