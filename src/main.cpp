// ruvo_drv: the driver's entry. With a display (and a build with the window) the driver
// runs as the desktop program with its window and tray icon. Headless, the two 1000 ms
// timers are fired by a loop on the system clock (which also wakes for receipt files
// when immediate pickup is on, and for the control socket), message boxes go to standard error, and
// every question gets the answer of an absent operator.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/CommandLine.h"
#include "app/Driver.h"
#include "app/Operator.h"
#include "app/PortCheck.h"
#include "app/ReceiptCycle.h"
#include "app/ReceiptFiles.h"
#include "app/ServingPump.h"
#include "app/SettingsFile.h"
#include "app/StatusFile.h"
#include "app/TimerLoop.h"
#include "app/WorkingFolder.h"
#include "console/ControlClient.h"
#include "console/ControlCommands.h"
#include "console/ControlServer.h"
#include "execution/EcrReceiptExecution.h"
#include "http/HttpService.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/RuntimeFolder.h"
#include "platform/ServiceNotify.h"
#include "platform/SingleInstance.h"
#include "platform/StopSignals.h"
#include "platform/WaitReadable.h"

#ifdef RUVO_WITH_GUI
#include "console/gui/WindowedDriver.h"
#endif

namespace {

// A control client that hangs up must not end the driver: its write fails instead.
void IgnoreBrokenPipes() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
}

// Tells the terminal when the connected label or the processing state changes, which is
// what the window would show.
class TerminalObserver final : public ruvo::IDriverObserver {
 public:
  explicit TerminalObserver(const ruvo::Driver& driver) : driver_(driver) {}
  void StateChanged() override {
    const std::string label = driver_.ConnectedLabel();
    const std::string state = driver_.Closed()             ? "DRIVER INCHIS"
                              : driver_.State().processing ? "START PROCESARE"
                                                           : "STOP PROCESARE";
    if (label == label_ && state == state_) return;
    label_ = label;
    state_ = state;
    ruvo::Log(ruvo::LogLevel::Info, state + ", " + label);
    ruvo::service_notify::Status(Text());
  }
  std::string Text() const { return state_ + ", " + label_; }

 private:
  const ruvo::Driver& driver_;
  // What the driver looks like before it starts, so the first line says it started.
  std::string label_ = "Neconectat la casa";
  std::string state_ = "STOP PROCESARE";
};

std::string InstanceName(const ruvo::CommandLine& line) {
  if (!line.instanceName.empty()) return line.instanceName;
  const char* fromEnvironment = std::getenv("RUVO_DRV_INSTANCE");
  if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
  return ruvo::SingleInstance::kDefaultName;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return std::string(value != nullptr ? value : "");
}

ruvo::WorkingFolderInputs WorkingFolderInputsOf(const ruvo::CommandLine& line) {
  return {line.dir, ruvo::ExecutableFolder().value_or(""), Environment("HOME"),
          Environment("XDG_DATA_HOME")};
}

// The working folder as an absolute path, or empty with a message.
std::string WorkingFolder(const ruvo::CommandLine& line, std::string& error) {
  const ruvo::WorkingFolderInputs inputs = WorkingFolderInputsOf(line);
  const std::optional<std::string> chosen = ruvo::ChooseWorkingFolder(inputs);
  if (!chosen) {
    error = "no working folder: give --dir DIR";
    return "";
  }
  return ruvo::PrepareWorkingFolder(*chosen, ruvo::MadeWhenMissing(inputs), error);
}

// Where the instance's lock and control socket may be: the service's runtime folder, the
// user's, the working folder (empty when there is none yet).
std::vector<ruvo::RuntimeCandidate> RuntimePlaces(const std::string& instance,
                                                  const std::string& workingFolder) {
  ruvo::RuntimeInputs inputs;
  inputs.userBase = ruvo::UserRuntimeBase(std::getenv("XDG_RUNTIME_DIR"), ::geteuid());
  inputs.workingFolder = workingFolder;
  return ruvo::RuntimeCandidates(instance, inputs);
}

// The working folder `ruvo_drv ctl` means, without making it: its driver may keep its
// control socket there.
std::string ExistingWorkingFolder(const ruvo::CommandLine& line) {
  const std::optional<std::string> chosen = ruvo::ChooseWorkingFolder(WorkingFolderInputsOf(line));
  if (!chosen || !ruvo::FolderExists(*chosen)) return "";
  std::string ignored;
  return ruvo::PrepareWorkingFolder(*chosen, false, ignored);
}

}  // namespace

int Run(int argc, char** argv) {
  ruvo::CommandLine line;
  std::string error;
  // Plain standard output and error, not the log, from here to the instance's start: what
  // is written is the answer of the command itself (its usage, its version, the control
  // client's reply, the port check) for whoever typed it, not a diagnostic of the driver.
  if (!ruvo::ParseCommandLine(argc, argv, line, error)) {
    std::fprintf(stderr, "ruvo_drv: %s\n\n%s", error.c_str(), ruvo::UsageText().c_str());
    // ctl fails with 1 whatever went wrong, so scripts test one status.
    return line.control ? 1 : 2;
  }
  if (line.help) {
    std::fputs(ruvo::UsageText().c_str(), stdout);
    return 0;
  }
  const std::string instanceName = InstanceName(line);
  const bool nameUsable = ruvo::ValidInstanceName(instanceName);
  if (!nameUsable && (line.control || !(line.version || line.checkPort))) {
    std::fprintf(stderr,
                 "ruvo_drv: the instance name must be a file name of 1 to 48 bytes "
                 "without \"/\": %s\n",
                 instanceName.c_str());
    return line.control ? 1 : 2;
  }
  if (line.control) {
    return ruvo::RunControlClient(RuntimePlaces(instanceName, ExistingWorkingFolder(line)),
                                  instanceName, line.dir, line.controlCommand, std::cout,
                                  std::cerr);
  }
  if (line.version) {
    std::printf("Ruvo_Drv %s\n", ruvo::VersionText().c_str());
    return 0;
  }
  std::string folderError;
  const std::string folder = WorkingFolder(line, folderError);
  if (folder.empty()) {
    ruvo::Log(ruvo::LogLevel::Error, folderError);
    return 2;
  }
  if (line.checkPort) {
    std::string answer;
    const bool named =
        ruvo::SettingsNamePort(ruvo::JoinPath(folder, ruvo::kSettingsFileName), answer);
    std::fprintf(named ? stdout : stderr, "%s\n", answer.c_str());
    return named ? 0 : 1;
  }
#ifdef RUVO_WITH_GUI
  const bool windowed = !line.headless && ruvo::gui::DisplayAvailable();
  if (!line.headless && !windowed) ruvo::Log(ruvo::LogLevel::Info, "no display; running headless");
#else
  if (!line.headless) {
    ruvo::Log(ruvo::LogLevel::Info, "built without the window; running headless");
  }
#endif

  ruvo::HeadlessOperator op;
  std::vector<std::string> skipped;
  const std::optional<std::string> runtimeFolder =
      ruvo::PrepareRuntimeFolder(RuntimePlaces(instanceName, folder), ::geteuid(), skipped);
  for (const std::string& why : skipped) ruvo::Log(ruvo::LogLevel::Warning, "passed over: " + why);
  if (!runtimeFolder) {
    ruvo::Log(ruvo::LogLevel::Error,
              "no folder that only this user can change for the run-once lock and the control "
              "socket: set XDG_RUNTIME_DIR, or use a working folder that only this user can "
              "write");
    return 1;
  }
  const ruvo::SingleInstance instance(*runtimeFolder);
  if (!instance.Problem().empty()) {
    ruvo::Log(ruvo::LogLevel::Error, instance.Problem());
    return 1;
  }
  if (!instance.Acquired()) {
    op.RomMessageDlg("Aplicatia deja lucreaza", "Ruvo_Drv", ruvo::MsgKind::Information,
                     ruvo::MsgButtons::Ok);
#ifdef RUVO_WITH_GUI
    if (windowed) ruvo::gui::ShowSimpleMessage(argc, argv, "Aplicatia deja lucreaza");
#endif
    return 1;
  }

  // Another instance name or runtime folder is no second working folder: one driver only
  // may answer its files.
  const ruvo::WorkingFolderLock folderLock(folder);
  if (!folderLock.Acquired()) {
    ruvo::Log(ruvo::LogLevel::Error, folderLock.Problem());
    op.RomMessageDlg("Aplicatia deja lucreaza", "Ruvo_Drv", ruvo::MsgKind::Information,
                     ruvo::MsgButtons::Ok);
#ifdef RUVO_WITH_GUI
    if (windowed) ruvo::gui::ShowSimpleMessage(argc, argv, "Aplicatia deja lucreaza");
#endif
    return 1;
  }

  // Logs that carry no folder land in the current one, which must be the working folder.
  if (::chdir(folder.c_str()) != 0) {
    ruvo::Log(ruvo::LogLevel::Error, "cannot enter the working folder " + folder);
    return 2;
  }

  IgnoreBrokenPipes();
  // Before the window starts any thread: from here on SIGTERM and SIGINT wait in its
  // descriptor for the loop or the window to close the driver.
  ruvo::StopSignals stopSignals;
  ruvo::SystemClock clock;
  ruvo::ServingPump pump;
#ifdef RUVO_WITH_GUI
  std::unique_ptr<ruvo::gui::WindowedDriver> window;
  if (windowed) window = std::make_unique<ruvo::gui::WindowedDriver>(argc, argv);
  ruvo::IOperator& shownTo = window ? window->Operator() : op;
  ruvo::IEventPump& pumped = window ? window->Pump() : pump;
#else
  ruvo::IOperator& shownTo = op;
  ruvo::IEventPump& pumped = pump;
#endif
  // The ECR's long waits run no loop: the watchdog is told from inside them.
  ruvo::ServiceWatchdog watchdog(clock);
  ruvo::AlivePump alivePump(pumped, watchdog);
  ruvo::PosixPortFactory ports(ruvo::JoinPath(folder, ruvo::kSettingsFileName));
  ruvo::Driver driver(ruvo::DriverContext{clock, alivePump, shownTo, ports}, folder);
  TerminalObserver observer(driver);
  driver.SetObserver(&observer);

  ruvo::EcrReceiptExecution execution(driver.Context());
  ruvo::ReceiptFileCycle cycle(driver.State(), shownTo, clock, execution);
  cycle.ServeDuringPauses(alivePump);
  ruvo::ReceiptFilesOf<ruvo::ReceiptFileCycle> files(cycle);
  driver.SetReceiptFiles(files);
  ruvo::Log(ruvo::LogLevel::Info, "working folder " + folder);
  ruvo::ControlServer control(ruvo::ControlSocketPath(*runtimeFolder), clock,
                              [&](const std::vector<std::string>& arguments) {
                                return ruvo::ServeControlRequest(driver, arguments);
                              });
  if (!control.Listening()) {
    ruvo::Log(ruvo::LogLevel::Warning, "no control socket (" + control.Problem() +
                                           "); ruvo_drv ctl will not reach this driver");
  }
  // The HTTP server, when set on, is served wherever the control socket is.
  const std::unique_ptr<ruvo::http::HttpService> http =
      ruvo::http::HttpService::Start(folder, driver, clock);
  const auto serveHttp = [&http] {
    if (http) http->Serve();
  };
  const auto httpWaiting = [&http] { return http && http->HasWaiting(); };
#ifdef RUVO_WITH_GUI
  if (window) {
    // The window watches the control socket beside its timers, as the loop below does.
    std::vector<ruvo::gui::DescriptorWatch> watches = {
        {control.Fd(), [&control] { control.ServeOne(); }, true,
         [&control] { return control.HasWaiting(); }}};
    if (http) watches.push_back({http->Fd(), serveHttp, true, httpWaiting});
    return window->Run(driver, &observer, stopSignals, watches);
  }
#endif
  if (control.Listening() || http) {
    pump.Serve([&control, &serveHttp] {
      control.ServeOne();
      serveHttp();
    });
  }
  // Idle, the loop sleeps until the next tick, a receipt file, a control request or a stop
  // signal.
  driver.Start();
  ruvo::service_notify::Ready(observer.Text());
  const int arrivals = driver.ArrivalWatch().Fd();
  ruvo::RunTimerLoop(
      driver, clock, [&] { return stopSignals.Requested(); },
      [&](std::int64_t ms) {
        // Requests kept for the end of the work are asked again at the next turn.
        if (control.HasWaiting() || httpWaiting()) {
          ms = std::min<std::int64_t>(ms, ruvo::ServingPump::kSliceMs);
        }
        ruvo::WaitReadable({stopSignals.Fd(), arrivals, control.Fd(), http ? http->Fd() : -1}, ms);
      },
      [&] {
        watchdog.Beat();
        control.ServeOne();
        serveHttp();
      });
  ruvo::service_notify::Stopping();
  driver.Close();
  return 0;
}

int main(int argc, char** argv) {
  // The driver reports its failures as values; this only keeps a stray error from ending
  // the process without a word.
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    ruvo::Log(ruvo::LogLevel::Error, e.what());
  } catch (...) {
    ruvo::Log(ruvo::LogLevel::Error, "unexpected error");
  }
  return 1;
}
