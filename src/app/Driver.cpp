#include "app/Driver.h"

#include <algorithm>
#include <exception>
#include <memory>

#include <unistd.h>

#include "app/JeWarnings.h"
#include "app/ReceiptCycle.h"
#include "app/SettingsFile.h"
#include "app/StatusFile.h"
#include "app/WorkingFolder.h"
#include "platform/AtomicFile.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/Log.h"

namespace ruvo {

namespace {

// Sets a flag for the length of a scope and gives it back its previous value on every path,
// also when the scope is left by an exception.
class FlagGuard {
 public:
  explicit FlagGuard(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
  ~FlagGuard() { flag_ = previous_; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

 private:
  bool& flag_;
  bool previous_;
};

std::string WithTrailingSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

}  // namespace

Driver::Driver(DriverContext context, std::string workingFolder) : context_(context) {
  state_.workingFolder = WithTrailingSlash(std::move(workingFolder));
  state_.logFolder = state_.workingFolder + "Log/";
  state_.historyFolder = state_.workingFolder + "History/";
}

std::string Driver::SettingsPath() const { return state_.workingFolder + kSettingsFileName; }

std::string Driver::StatusPath() const { return state_.workingFolder + kStatusFileName; }

void Driver::Notify() {
  if (observer_ == nullptr) return;
  try {
    observer_->StateChanged();
  } catch (...) {
    // A window that fails to redraw must not stop the driver.
  }
}

void Driver::ReportError(const std::string& text) {
  try {
    context_.op.ShowDefaultError(text);
  } catch (...) {
  }
}

void Driver::Start() {
  RemoveLeftoverTemporaryFiles();
  state_.jeFreeLines = -1;
  LoadSettings();
  SetProcessing(true);
}

void Driver::RemoveLeftoverTemporaryFiles() {
  // Only a writer killed half-way leaves them, and no other writes into these folders.
  RemoveTemporaryFiles(state_.workingFolder);
  for (const std::string_view name :
       {std::string_view("Log"), std::string_view("History"), kExportFolderName}) {
    if (const auto folder = ResolveSubfolder(state_.workingFolder, std::string(name))) {
      RemoveTemporaryFiles(*folder);
    }
  }
}

void Driver::LoadSettings() {
  IniFile ini;
  if (!ini.Load(SettingsPath())) {
    ReportError("Nu pot citi fisierul de configurare " + SettingsPath());
    return;
  }
  ReadSettings(ini, state_.settings);
  if (state_.settings.logFile) CreateFolder(state_.logFolder);
  if (state_.settings.history) CreateFolder(state_.historyFolder);
  Notify();
}

void Driver::CreateFolder(const std::string& folder) {
  if (!CreateFolders(folder)) ReportError("Nu pot crea folderul " + folder);
}

bool Driver::SaveSettings() {
  // The file is read again, so that hand edits made since the last load are kept.
  IniFile ini;
  if (!ini.Load(SettingsPath())) {
    ReportError("Nu pot citi fisierul de configurare " + SettingsPath());
    return false;
  }
  WriteSettings(ini, state_.settings);
  if (!ini.Save()) {
    ReportError("Nu pot scrie fisierul de configurare " + SettingsPath());
    return false;
  }
  return true;
}

bool Driver::WriteStatusFile(bool closing) {
  const std::string& stare =
      closing || closed_ ? kStateClosed : (state_.processing ? kStateProcessing : kStateStopped);
  const Liveness liveness{static_cast<long>(::getpid()), FormatStatusTime(context_.clock.Now())};
  const std::optional<PortOpenFailure>& port = portFailure_.Current();
  StatusNotes notes;
  notes.portProblem = port ? port->ForOperator() : std::string();
  // The count of free JE lines is news, not a warning.
  for (const std::string& line : state_.warningBox) {
    if (line.rfind(kJeFreeLinesLine, 0) != 0) notes.warnings.push_back(line);
  }
  return statusFile_.Write(StatusPath(), stare, state_.connected, liveness, notes);
}

void Driver::SetProcessing(bool on) {
  if (!on) {
    // Held busy while it lets the window and the control socket run, so that nothing they
    // ask for (a start, an operation) runs inside the stop.
    FlagGuard stopping(state_.busy);
    state_.checkComEnabled = false;
    state_.jeFreeLines = -1;
    context_.pump.Pump();
    state_.processing = false;
    WriteStatusFile(false);
    state_.processorEnabled = false;
    UpdateArrivalWatch();
    context_.pump.Pump();
    Notify();
    return;
  }
  state_.processing = true;
  WriteStatusFile(false);
  state_.processorEnabled = true;
  Notify();
  LoadSettings();
  // Watched before the status file can say "connected": a file renamed in from then on is
  // known for one, and read at once.
  UpdateArrivalWatch();
  // The clean-up and the check run with the busy flag set, so that a processing tick that
  // arrives while they wait cannot pick up a file they are about to delete, or open the
  // port the check holds.
  FlagGuard busy(state_.busy);
  try {
    files_->CleanOldFiles();
  } catch (...) {
    ReportError("Eroare la stergerea fisierelor vechi");
  }
  CheckConnection();
  if (!state_.connected) state_.checkComEnabled = true;
  Notify();
}

void Driver::UpdateArrivalWatch() {
  const bool wanted = state_.processing && !closed_ && state_.settings.preluareImediata;
  if (!wanted) {
    watch_.Unwatch();
    arrivalPending_ = false;
    lookDueMs_.reset();
    return;
  }
  if (!watch_.Watch(state_.workingFolder, kReceiptMask)) {
    // Not worth a message box: the processing tick still finds every file.
    Log(LogLevel::Warning,
        "cannot watch " + state_.workingFolder + "; receipt files are taken at the next tick");
  }
  // A file that was already waiting is news as well.
  arrivalPending_ = true;
}

bool Driver::CanTakeFiles() const {
  return state_.processorEnabled && !closed_ && !state_.busy && !state_.checkComEnabled;
}

bool Driver::TakeWatchNews() {
  const FolderNews news = watch_.TakeNews();
  if (!news.Any()) return false;
  files_->Heard(news);
  return true;
}

void Driver::ReceiptArrived() {
  if (TakeWatchNews()) arrivalPending_ = true;
  // A file written in place that has now been left alone long enough: no event says so.
  if (lookDueMs_ && context_.clock.MonotonicMs() >= *lookDueMs_) arrivalPending_ = true;
  if (!arrivalPending_ || !state_.settings.preluareImediata || !CanTakeFiles()) return;
  const Pickup pickup = PickUpFile();
  // After a file another one may be waiting; it is taken after the pause, as at a tick.
  // A file left waiting (its answer cannot be written, the ECR cannot settle it) is tried
  // again at the next tick: at once, the loop would do nothing else.
  arrivalPending_ = pickup == Pickup::File && !files_->LastFileWaits();
  if (pickup == Pickup::File) Notify();
}

Driver::Pickup Driver::PickUpFile() {
  // The cycle decides by how each file arrived, so it hears of every change first.
  if (TakeWatchNews()) arrivalPending_ = true;
  Pickup pickup = Pickup::Failed;
  try {
    pickup = files_->PickUpNext() ? Pickup::File : Pickup::None;
  } catch (...) {
    // The cycle catches its own errors; this only keeps a stray one from ending the driver
    // with the busy flag stuck.
    state_.busy = false;
    ReportError("Eroare la procesarea fisierului de intrare");
  }
  lookDueMs_ = files_->NextLookMs();
  return pickup;
}

std::optional<std::int64_t> Driver::NextArrivalInMs() const {
  if (!lookDueMs_ || !state_.settings.preluareImediata || !CanTakeFiles()) return std::nullopt;
  return std::max<std::int64_t>(*lookDueMs_ - context_.clock.MonotonicMs(), 0);
}

void Driver::CheckConnection() {
  if (checkingConnection_) return;
  FlagGuard reentry(checkingConnection_);
  try {
    RunConnectionCheck();
  } catch (const std::exception& e) {
    state_.connected = false;
    ReportError(e.what());
  } catch (...) {
    state_.connected = false;
    ReportError("Eroare la verificarea conexiunii cu casa de marcat");
  }
}

void Driver::RunConnectionCheck() {
  // The link and its port are freed when this scope ends, whichever way it ends.
  const std::unique_ptr<TXruvoLinux> link = context_.MakeLink();
  link->SetLongTimeOut(state_.settings.longTimeOut);
  const bool opened = link->Engine().OpenPort(state_.settings.PortToOpen());
  if (portFailure_.Update(opened ? std::nullopt : link->Engine().PortFailure(), state_.warningBox))
    Notify();
  const bool connected = opened && link->ProbeStatus();
  SetConnected(connected);
  if (connected && state_.jeFreeLines == -1 && link->ReadJEFreeLines() &&
      link->JEFreeLines() != -1) {
    state_.jeFreeLines = link->JEFreeLines();
    // The count and its warning take the box; the warnings that stand until they are
    // dealt with (a damaged journal or key record) stay in it.
    state_.warningBox = JeWarningLines(state_.jeFreeLines);
    for (const auto* lines : {&state_.standingWarnings, &state_.serviceWarnings}) {
      state_.warningBox.insert(state_.warningBox.end(), lines->begin(), lines->end());
    }
    Notify();
  }
  link->Engine().ClosePort();
}

void Driver::SetServiceWarnings(const std::vector<std::string>& lines) {
  if (lines == state_.serviceWarnings) return;
  for (const std::string& old : state_.serviceWarnings) std::erase(state_.warningBox, old);
  state_.serviceWarnings = lines;
  state_.warningBox.insert(state_.warningBox.end(), lines.begin(), lines.end());
  if (!state_.warningBox.empty()) state_.windowVisible = true;
  WriteStatusFile(false);
  Notify();
}

void Driver::SetConnected(bool connected) {
  state_.connected = connected;
  WriteStatusFile(false);
  Notify();
}

std::string Driver::ConnectedLabel() const {
  if (!state_.connected) return kNotConnectedLabel;
  return kConnectedLabelPrefix + std::to_string(state_.settings.port);
}

void Driver::TcheckComTick() {
  // Every tick tells the sales application that the driver lives, also while processing
  // is stopped and while a file or an operation keeps it busy.
  if (!closed_) WriteStatusFile(false);
  if (!state_.checkComEnabled || closed_ || state_.busy) return;
  context_.pump.Pump();
  {
    FlagGuard busy(state_.busy);
    CheckConnection();
  }
  if (state_.connected) state_.checkComEnabled = false;
  Notify();
}

void Driver::TprocessorTick() {
  if (!state_.processorEnabled || closed_) return;
  if (state_.busy || state_.checkComEnabled) return;
  const Pickup pickup = PickUpFile();
  if (pickup == Pickup::Failed) return;
  if (pickup == Pickup::File) {
    Notify();
    return;
  }
  if (state_.settings.faraVerificareConexiune || state_.checkComEnabled) return;
  {
    FlagGuard busy(state_.busy);
    CheckConnection();
  }
  if (!state_.connected) state_.checkComEnabled = true;
  Notify();
}

void Driver::Close() {
  if (closed_) return;
  SaveSettings();
  closed_ = true;
  WriteStatusFile(true);
  state_.checkComEnabled = false;
  state_.processorEnabled = false;
  UpdateArrivalWatch();
  Notify();
}

bool Driver::AskAndClose() {
  const bool retrying = state_.checkComEnabled;
  state_.checkComEnabled = false;
  MsgResult answer = MsgResult::No;
  try {
    answer = context_.op.RomMessageDlg("Sigur inchizi programul ?", "Atentie",
                                       MsgKind::Confirmation, MsgButtons::YesNo);
  } catch (...) {
    answer = MsgResult::No;
  }
  if (answer == MsgResult::Yes) {
    Close();
    return true;
  }
  state_.checkComEnabled = retrying;
  Notify();
  return false;
}

std::string Driver::ProcessingCaption() const {
  return state_.processing ? "Stop procesare" : "Start procesare";
}

}  // namespace ruvo
