#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/DriverContext.h"
#include "app/DriverObserver.h"
#include "app/DriverState.h"
#include "app/PortFailureReport.h"
#include "app/ReceiptFiles.h"
#include "app/StatusFile.h"
#include "platform/FolderWatch.h"

namespace ruvo {

inline const std::string kConnectedLabelPrefix = "Conectat la casa : COM ";
inline const std::string kNotConnectedLabel = "Neconectat la casa";

// The driver core behind the main window: owns the state, the settings and the status file,
// starts and stops processing, checks the connection to the ECR and runs the two 1000 ms
// timers' ticks. It is UI-neutral: a window (or the headless loop) calls the ticks and the
// operations, observes the changes and answers questions through the context's operator.
// Nothing here throws.
class Driver {
 public:
  static constexpr int kTimerIntervalMs = 1000;

  // workingFolder gets a trailing "/" when it lacks one; the settings and status files,
  // the log and history folders all live there.
  Driver(DriverContext context, std::string workingFolder);
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  // The receipt file cycle the processing timer drives (none by default).
  void SetReceiptFiles(IReceiptFiles& files) { files_ = &files; }
  void SetObserver(IDriverObserver* observer) { observer_ = observer; }

  // What creating the main window does: free JE lines unknown, settings loaded, processing
  // started (which checks the connection once).
  void Start();

  // Reads XRUVODRV.INI into the settings and creates the log and history folders when
  // their keys are on. A missing file gives the defaults.
  void LoadSettings();
  // Writes the nine keys the operator can change into XRUVODRV.INI, keeping every other
  // line of it byte for byte. False (and the file untouched) when it cannot be read or
  // written.
  bool SaveSettings();

  void SetProcessing(bool on);

  // One connection check: open the port of the settings, ask for the ECR's status, and
  // on success read the free JE lines once per start of processing. Returns at once when
  // a check is already running (a tick that arrived during the wait).
  void CheckConnection();

  // The status file with the current state, or "DRIVER INCHIS" when closing.
  bool WriteStatusFile(bool closing);

  // The connection retry timer's tick: writes the status file (its tick time), then does
  // nothing more while TcheckCOM is disabled.
  void TcheckComTick();
  // The processing timer's tick: one receipt file, or when there is none the idle
  // connection check (does nothing while Tprocessor is disabled).
  void TprocessorTick();

  // Immediate pickup ("PreluareImediata" on): while processing runs, the working folder is
  // watched for receipt files. A loop or a window waits for ArrivalWatch().Fd() to become
  // readable (the descriptor never changes) and then calls ReceiptArrived, which runs the
  // file part of the processing tick at once, with all of its rules (busy flag, TcheckCOM,
  // the pause after the file). The ticks go on as before and take what the watch missed.
  const FolderWatch& ArrivalWatch() const { return watch_; }
  // Takes the watch's news; when a receipt file arrived and the tick's rules allow it, runs
  // one file. Never blocks when there is nothing to do.
  void ReceiptArrived();
  // An arrival is waiting that ReceiptArrived could take now (call it again without waiting
  // for the descriptor): a file arrived while another ran, or more files may be waiting.
  bool ArrivalPending() const { return arrivalPending_ && CanTakeFiles(); }
  // How long until a receipt file written in place will have been left alone for
  // "PauzaFisierScris" and ReceiptArrived can take it, although no event will say so: a loop
  // or a window waits at most this long. nullopt when no file waits for time (or the key
  // is off: the ticks take it).
  std::optional<std::int64_t> NextArrivalInMs() const;

  // The close sequence: settings saved, "DRIVER INCHIS" written, timers stopped.
  void Close();

  // The window's "Stop program" button: asks "Sigur inchizi programul ?" with TcheckCOM held
  // meanwhile; Yes closes (true), No gives TcheckCOM back the state it had (false).
  bool AskAndClose();

  // The start/stop entry of the window and the tray menu: toggles processing.
  void ToggleProcessing() { SetProcessing(!state_.processing); }
  // Its caption: "Stop procesare" while processing, else "Start procesare".
  std::string ProcessingCaption() const;

  // "Conectat la casa : COM " + the chosen port number, or "Neconectat la casa".
  std::string ConnectedLabel() const;

  DriverState& State() { return state_; }
  const DriverState& State() const { return state_; }
  // The suffix of the receipt file being run now; empty between files.
  std::string RunningSuffix() const { return files_->RunningSuffix(); }
  void KeepAnswersWith(IAnswerKeeper* keeper) { files_->KeepAnswersWith(keeper); }
  // The warnings of a service beside the cycle (the HTTP server's damaged key records):
  // shown in the warning box, ctl status and the status file until they change.
  void SetServiceWarnings(const std::vector<std::string>& lines);
  const DriverContext& Context() const { return context_; }
  std::string SettingsPath() const;
  std::string StatusPath() const;
  bool CheckingConnection() const { return checkingConnection_; }
  // Works on something that a start, a stop or a new operation must not cut into: a file,
  // an idle check or a retry, a manual operation, or the pause that ends a report.
  bool Working() const {
    return state_.busy || checkingConnection_ || state_.operation.Active() ||
           state_.operationEnding;
  }
  bool Closed() const { return closed_; }

 private:
  void SetConnected(bool connected);
  void CreateFolder(const std::string& folder);
  // Removes the temporary files of the atomic writer a killed driver left behind.
  void RemoveLeftoverTemporaryFiles();
  void RunConnectionCheck();
  void Notify();
  void ReportError(const std::string& text);
  enum class Pickup { None, File, Failed };
  // The file part of the processing tick: one receipt file, if one is waiting.
  Pickup PickUpFile();
  // The processing tick's own rules for taking a file.
  bool CanTakeFiles() const;
  // Starts or stops the folder watch as processing and "PreluareImediata" say.
  void UpdateArrivalWatch();
  // Hands what the folder watch saw to the receipt file cycle; true when it saw anything.
  bool TakeWatchNews();

  DriverContext context_;
  DriverState state_;
  NoReceiptFiles noFiles_;
  IReceiptFiles* files_ = &noFiles_;
  IDriverObserver* observer_ = nullptr;
  PortFailureReport portFailure_;
  bool checkingConnection_ = false;
  bool closed_ = false;
  FolderWatch watch_;
  bool arrivalPending_ = false;
  std::optional<std::int64_t> lookDueMs_;  // the clock's time of the next look, see above
  StatusFile statusFile_;
};

}  // namespace ruvo
