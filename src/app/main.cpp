// ruvo_drv: the driver's entry. Until the window exists, the driver runs headless: the two
// 1000 ms timers are fired by a loop on the system clock (which also wakes for receipt files
// when immediate pickup is on), message boxes go to standard error, and every question gets
// the answer of an absent operator.
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

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
#include "platform/StopSignals.h"
#include "platform/WaitReadable.h"
#include "receipt/EcrReceiptExecution.h"

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
  if (!line.headless) {
    std::fputs("ruvo_drv: the window is not available yet; running headless\n", stderr);
  }

  ruvo::HeadlessOperator op;
  const ruvo::SingleInstance instance(InstanceName(line));
  if (!instance.Acquired()) {
    op.RomMessageDlg("Aplicatia deja lucreaza", "Ruvo_Drv", ruvo::MsgKind::Information,
                     ruvo::MsgButtons::Ok);
    return 1;
  }

  const std::string folder = WorkingFolder(line);
  if (folder.empty()) {
    std::fprintf(stderr, "ruvo_drv: no working folder %s\n",
                 line.dir.empty() ? "(the executable's folder is unknown)" : line.dir.c_str());
    return 2;
  }

  InstallSignals();
  ruvo::SystemClock clock;
  ruvo::NullEventPump pump;
  ruvo::PosixPortFactory ports(ruvo::JoinPath(folder, ruvo::kSettingsFileName));
  ruvo::Driver driver(ruvo::DriverContext{clock, pump, op, ports}, folder);
  TerminalObserver observer(driver);
  driver.SetObserver(&observer);

  ruvo::EcrReceiptExecution execution(driver.Context());
  ruvo::ReceiptFileCycle cycle(driver.State(), op, clock, execution);
  ruvo::ReceiptFilesOf<ruvo::ReceiptFileCycle> files(cycle);
  driver.SetReceiptFiles(files);
  std::fprintf(stderr, "ruvo_drv: working folder %s\n", folder.c_str());
  // Idle, the loop sleeps until the next tick, a receipt file or a stop signal (the
  // signals go to a descriptor from here on; one that came before is in g_stop).
  ruvo::StopSignals stopSignals;
  driver.Start();
  const int arrivals = driver.ArrivalWatch().Fd();
  ruvo::RunTimerLoop(
      driver, clock, [&] { return g_stop != 0 || stopSignals.Requested(); },
      [&](std::int64_t ms) { ruvo::WaitReadable({stopSignals.Fd(), arrivals}, ms); });
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
