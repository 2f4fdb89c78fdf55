#pragma once

#include <functional>
#include <string>

#include "app/DriverContext.h"
#include "app/DriverState.h"
#include "ecr/TXruvoLinux.h"
#include "execution/EcrStateCheck.h"

namespace ruvo {

// Where a manual operation's exchange log is saved.
enum class OperationLogPlace {
  LogFolder,      // the working folder's Log/
  CurrentFolder,  // the bare file name, meant for the working folder; written there by path,
                  // so it never depends on where the driver was started from
  None,           // no log at all (the report dialog's stop)
};

// What sets one manual operation's frame apart from another's.
struct OperationKind {
  std::string word;          // the log name is "Log_" + word + "_" + LogTimeStamp + ".TXT"
  bool longTimeOut = false;  // the link takes the "LongTimeOut" setting
  OperationLogPlace logPlace = OperationLogPlace::LogFolder;
  bool historyCopy = false;  // a second copy of the log in History/ when "History" is on
  // With "MesajLaListareItem" on, the line count of the log is told before each copy.
  bool announceLogSave = false;
  std::string title;    // how a refusal or a status names it while it runs
  bool report = false;  // a printing report that "Stop raport" may stop
  // Refused while the run of a receipt file is interrupted and unsettled: the recovery
  // asks the ECR what became of that file's receipt, and a report, a cancel or a close
  // in between would make it print the sale twice or answer a cancelled one "0 OK".
  bool waitsForInterruptedRun = true;
};

inline const OperationKind kZReportOperation{"RapZ", true,  OperationLogPlace::LogFolder,
                                             false,  false, "Raport zilnic",
                                             true};
inline const OperationKind kXReportOperation{"RapX", true,  OperationLogPlace::LogFolder,
                                             false,  false, "Raport X",
                                             true};
inline const OperationKind kMfReportOperation{"RapMF", false, OperationLogPlace::CurrentFolder,
                                              false,   false, "Raport MF/JE",
                                              true};
inline const OperationKind kCancelOperation{"ANULARE", true,  OperationLogPlace::LogFolder,
                                            true,      false, "Anulare bon"};
inline const OperationKind kCloseOperation{"INCHIDEREBON", true, OperationLogPlace::LogFolder,
                                           true,           true, "Inchidere bon"};
inline const OperationKind kCashOperation{"InOutNumerar", false, OperationLogPlace::CurrentFolder,
                                          false,          false, "Intrare/Iesire numerar sertar"};
inline const OperationKind kLogoOperation{"LoadBMP", false, OperationLogPlace::LogFolder,
                                          false,     false, "Incarcare logo grafic"};
inline const OperationKind kExportOperation{"ExportXML", false, OperationLogPlace::CurrentFolder,
                                            false,       false, "Export XML"};
// Only stops what the ECR prints now; it starts nothing.
inline const OperationKind kStopReportOperation{"",    false, OperationLogPlace::None,
                                                false, false, "Stop raport",
                                                false, false};

// The refusal of a second operation while one runs: the prefix and the running one's title.
inline const std::string kOperationInProgress = "O operatie este in curs: ";
inline const std::string kWarningCaption = "Atentie";

inline const std::string kPortNotOpenMessage = "Nu pot deschide portul serial !\r";
// The refusal of an operation while a receipt file's interrupted run waits; the file's
// name follows the first part.
inline const std::string kInterruptedRunWaitsPrefix = "Operatie refuzata : executia fisierului ";
inline const std::string kInterruptedRunWaitsAdvice =
    " a fost intrerupta si nu este inca incheiata.\r"
    "Porniti procesarea (Start procesare, sau ruvo_drv ctl start) ca driverul sa termine "
    "fisierul si verificati casa de marcat; reluati operatia dupa ce fisierul are raspuns.";
// Caption and kind of every failure message of a manual operation.
inline const std::string kOperationErrorCaption = "Eroare";
// Caption of the plain diagnostic messages.
inline const std::string kProgramTitle = "Ruvo_Drv";

// What a manual operation reaches through the one main window: time, the event pump, the
// person at the machine (every message goes through its RomMessageDlg), the ports, and the
// driver's state (the selected port, the time-out, the log and history settings, folders).
struct ConsoleContext {
  DriverContext driver;
  DriverState& state;
};

// The one sequence every manual operation follows: refused with the operator told why
// while an interrupted receipt file waits (unless the kind says otherwise), a fresh link
// (with the long time-out where the kind says so), the selected port opened ("Nu pot
// deschide portul serial !\r" + LastError otherwise), the body, the exchange log saved
// where the kind says, the port closed and the link freed on every path, an exception
// from the body included. Returns the body's result; false when the port did not open.
// An exception never leaves: it is shown in the default error box once the port is
// closed, and the result is false.
// One operation at a time: while one runs (this is called from its wait), a second one is
// refused with "O operatie este in curs: ..." and nothing is opened. The running one is
// told in the state's `operation`, with its link while the port is open.
bool RunOperation(const ConsoleContext& context, const OperationKind& kind,
                  const std::function<bool(TXruvoLinux&)>& body);

// True, with the operator told which receipt file waits and what to do, while the run of
// an interrupted receipt file waits for the processing. The frame asks it before every
// operation whose kind says so; the window asks it before it opens an operation's dialog.
bool RefusedForInterruptedRun(const ConsoleContext& context);

// The failure message of an operation: caption "Eroare", warning kind, OK.
void ShowOperationFailure(const ConsoleContext& context, const std::string& text);

// "O operatie este in curs: " + the running operation's title; empty when none runs.
std::string OperationInProgressText(const DriverState& state);
// Shows it (caption "Atentie", warning kind, OK).
void ShowOperationInProgress(const ConsoleContext& context);

// A plain diagnostic message, with the program's title as its caption.
void ShowPlainMessage(const ConsoleContext& context, const std::string& text);

// The check of an ECR state before a report or a cancel, with the driver's settings and
// its operator. A manual operation answers no receipt file: the sales application has
// read the last file's answer as final, so a refusal is shown by the operation and
// logged, never written into ERROR*.TXT.
EcrCheckResult CheckEcrStateFor(const ConsoleContext& context, TXruvoLinux& link,
                                EcrCheckKind kind);

}  // namespace ruvo
