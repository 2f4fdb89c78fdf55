// ruvo_drv: the driver's entry. With a display (and a build with the window) the driver
// runs as the desktop program with its window and tray icon. Headless, the two 1000 ms
// timers are fired by a loop on the system clock, message boxes go to standard error, and
// every question gets the answer of an absent operator.
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include <unistd.h>

#include "app/CommandLine.h"
#include "app/Driver.h"
#include "app/ReceiptCycle.h"
#include "app/ReceiptFiles.h"
#include "app/SettingsFile.h"
#include "app/TimerLoop.h"
#include "console/Operator.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/Files.h"
#include "platform/SingleInstance.h"
#include "receipt/EcrReceiptExecution.h"

#ifdef RUVO_WITH_GUI
#include "console/gui/WindowedDriver.h"
#endif

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int) { g_stop = 1; }

void InstallSignals() {
  struct sigaction stop {};
  stop.sa_handler = OnStopSignal;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGTERM, &stop, nullptr);
  sigaction(SIGINT, &stop, nullptr);
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
    const std::string state = driver_.Closed() ? "DRIVER INCHIS"
                              : driver_.State().processing ? "START PROCESARE"
                                                           : "STOP PROCESARE";
    if (label == label_ && state == state_) return;
    label_ = label;
    state_ = state;
    std::fprintf(stderr, "ruvo_drv: %s, %s\n", state.c_str(), label.c_str());
    std::fflush(stderr);
  }

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

// The working folder as an absolute path, or empty when it is no folder.
std::string WorkingFolder(const ruvo::CommandLine& line) {
  if (line.dir.empty()) return ruvo::ExecutableFolder().value_or("");
  char resolved[PATH_MAX];
  if (realpath(line.dir.c_str(), resolved) == nullptr || !ruvo::FolderExists(resolved)) return "";
  return resolved;
}

}  // namespace

int Run(int argc, char** argv) {
  ruvo::CommandLine line;
  std::string error;
  if (!ruvo::ParseCommandLine(argc, argv, line, error)) {
    std::fprintf(stderr, "ruvo_drv: %s\n\n%s", error.c_str(), ruvo::UsageText().c_str());
    return 2;
  }
  if (line.help) {
    std::fputs(ruvo::UsageText().c_str(), stdout);
    return 0;
  }
#ifdef RUVO_WITH_GUI
  const bool windowed = !line.headless && ruvo::gui::DisplayAvailable();
  if (!line.headless && !windowed) std::fputs("ruvo_drv: no display; running headless\n", stderr);
#else
  if (!line.headless) {
    std::fputs("ruvo_drv: built without the window; running headless\n", stderr);
  }
#endif

  ruvo::HeadlessOperator op;
  const ruvo::SingleInstance instance(InstanceName(line));
  if (!instance.Acquired()) {
    op.RomMessageDlg("Aplicatia deja lucreaza", "Ruvo_Drv", ruvo::MsgKind::Information,
                     ruvo::MsgButtons::Ok);
#ifdef RUVO_WITH_GUI
    if (windowed) ruvo::gui::ShowSimpleMessage(argc, argv, "Aplicatia deja lucreaza");
#endif
    return 1;
  }

  const std::string folder = WorkingFolder(line);
  if (folder.empty()) {
    std::fprintf(stderr, "ruvo_drv: no working folder %s\n",
                 line.dir.empty() ? "(the executable's folder is unknown)" : line.dir.c_str());
    return 2;
  }

  // Logs that carry no folder land in the current one, which must be the working folder.
  if (::chdir(folder.c_str()) != 0) {
    std::fprintf(stderr, "ruvo_drv: cannot enter the working folder %s\n", folder.c_str());
    return 2;
  }

  InstallSignals();
  ruvo::SystemClock clock;
  ruvo::NullEventPump pump;
#ifdef RUVO_WITH_GUI
  std::unique_ptr<ruvo::gui::WindowedDriver> window;
  if (windowed) window = std::make_unique<ruvo::gui::WindowedDriver>(argc, argv);
  ruvo::IOperator& shownTo = window ? window->Operator() : op;
  ruvo::IEventPump& pumped = window ? window->Pump() : pump;
#else
  ruvo::IOperator& shownTo = op;
  ruvo::IEventPump& pumped = pump;
#endif
  ruvo::PosixPortFactory ports(ruvo::JoinPath(folder, ruvo::kSettingsFileName));
  ruvo::Driver driver(ruvo::DriverContext{clock, pumped, shownTo, ports}, folder);
  TerminalObserver observer(driver);
  driver.SetObserver(&observer);

  ruvo::EcrReceiptExecution execution(driver.Context());
  ruvo::ReceiptFileCycle cycle(driver.State(), shownTo, clock, execution);
  ruvo::ReceiptFilesOf<ruvo::ReceiptFileCycle> files(cycle);
  driver.SetReceiptFiles(files);
  std::fprintf(stderr, "ruvo_drv: working folder %s\n", folder.c_str());
#ifdef RUVO_WITH_GUI
  if (window) return window->Run(driver, &observer, &cycle.Response());
#endif
  driver.Start();
  ruvo::RunTimerLoop(driver, clock, [] { return g_stop != 0; });
  driver.Close();
  return 0;
}

int main(int argc, char** argv) {
  // The driver reports its failures as values; this only keeps a stray error from ending
  // the process without a word.
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ruvo_drv: %s\n", e.what());
  } catch (...) {
    std::fputs("ruvo_drv: unexpected error\n", stderr);
  }
  return 1;
}
