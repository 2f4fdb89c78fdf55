// ruvo_drv: the driver's entry. With a display (and a build with the window) the driver
// runs as the desktop program with its window and tray icon. Headless, the two 1000 ms
// timers are fired by a loop on the system clock (which also wakes for receipt files
// when immediate pickup is on, and for the control socket), message boxes go to standard error, and
// every question gets the answer of an absent operator.
#include <csignal>
#include <exception>
#include <optional>
#include <string>

#include "DriverProgram.h"
#include "EntryAnswers.h"
#include "Frontend.h"
#include "InstanceStart.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/ServiceNotify.h"

namespace {

// A control client that hangs up must not end the driver: its write fails instead.
void IgnoreBrokenPipes() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
}

}  // namespace

int Run(int argc, char** argv) {
  ruvo::Launch launch;
  if (const std::optional<int> answered = ruvo::AnswerWithoutDriver(argc, argv, launch)) {
    return *answered;
  }
  ruvo::Frontend frontend(argc, argv, launch.line.headless);
  int status = 1;
  // The second start's notice comes before any window.
  const std::optional<ruvo::RunningInstance> instance =
      ruvo::TakeInstance(launch, frontend.Operator(), frontend.NoticeBeforeStart(), status);
  if (!instance) return status;

  IgnoreBrokenPipes();
  // From here on SIGTERM and SIGINT wait for the loop or the window to close the driver.
  frontend.Open();
  ruvo::SystemClock clock;
  // The ECR's long waits run no loop: the watchdog is told from inside them.
  ruvo::ServiceWatchdog watchdog(clock);
  ruvo::AlivePump alivePump(frontend.Pump(), watchdog);
  ruvo::DriverProgram program(launch.workingFolder, instance->runtimeFolder, clock, alivePump,
                              frontend.Operator());
  return frontend.Run(program, clock, watchdog);
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
