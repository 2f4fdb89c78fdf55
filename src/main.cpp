// ruvo_drv: the driver's entry. With a display (and a build with the window) the driver
// runs as the desktop program with its window and tray icon. Headless, the two 1000 ms
// timers are fired by a loop on the system clock (which also wakes for receipt files
// when immediate pickup is on, and for the control socket), message boxes go to standard error, and
// every question gets the answer of an absent operator.
#include <csignal>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "DriverProgram.h"
#include "EntryAnswers.h"
#include "HeadlessLoop.h"
#include "InstanceStart.h"
#include "WindowRun.h"
#include "app/Operator.h"
#include "app/ServingPump.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/ServiceNotify.h"
#include "platform/StopSignals.h"

namespace {

// A control client that hangs up must not end the driver: its write fails instead.
void IgnoreBrokenPipes() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
}

// Whether the driver gets its window: asked for, built with it and a display there.
bool Windowed(const ruvo::CommandLine& line) {
#ifdef RUVO_WITH_GUI
  const bool windowed = !line.headless && ruvo::gui::DisplayAvailable();
  if (!line.headless && !windowed) ruvo::Log(ruvo::LogLevel::Info, "no display; running headless");
  return windowed;
#else
  if (!line.headless) ruvo::Log(ruvo::LogLevel::Info, "built without the window; running headless");
  return false;
#endif
}

}  // namespace

int Run(int argc, char** argv) {
  ruvo::Launch launch;
  if (const std::optional<int> answered = ruvo::AnswerWithoutDriver(argc, argv, launch)) {
    return *answered;
  }
  // Without the window built in, nothing asks.
  [[maybe_unused]] const bool windowed = Windowed(launch.line);

  ruvo::HeadlessOperator op;
  // The second start's notice comes before any window: the platform's simple box.
  std::function<void(const std::string&)> showAlready;
#ifdef RUVO_WITH_GUI
  if (windowed) {
    showAlready = [&argc, argv](const std::string& text) {
      ruvo::gui::ShowSimpleMessage(argc, argv, text);
    };
  }
#endif
  int status = 1;
  const std::optional<ruvo::RunningInstance> instance =
      ruvo::TakeInstance(launch, op, showAlready, status);
  if (!instance) return status;

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
  ruvo::DriverProgram program(launch.workingFolder, instance->runtimeFolder, clock, alivePump,
                              shownTo);
#ifdef RUVO_WITH_GUI
  if (window) return ruvo::RunWindowed(*window, program, stopSignals);
#endif
  return ruvo::RunHeadless(program, clock, pump, watchdog, stopSignals);
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
