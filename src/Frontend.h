#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/Operator.h"
#include "app/ServingPump.h"
#include "platform/EventPump.h"
#include "platform/StopSignals.h"

#ifdef RUVO_WITH_GUI
#include "console/gui/WindowedDriver.h"
#endif

namespace ruvo {

class DriverProgram;
class IClock;
class ServiceWatchdog;

// The driver's face to the operator: its window (a build with it, not asked to run
// headless, and a display there), or the terminal: message boxes on standard error, every
// question answered as an absent operator would, and the headless loop. What a build
// without the window lacks is hidden here, so the rest of the program reads the same.
class Frontend {
 public:
  Frontend(int& argc, char** argv, bool headlessAsked);
  ~Frontend();
  Frontend(const Frontend&) = delete;
  Frontend& operator=(const Frontend&) = delete;

  // How a second start is told before anything else runs: the window's simple box; none
  // headless (the terminal has it already).
  std::function<void(const std::string&)> NoticeBeforeStart();
  // Takes the stop signals (SIGTERM, SIGINT and SIGHUP, from now on delivered to the loop or
  // the window), then opens the window, when there is one: its Qt starts threads, which
  // must find the signals taken. Both last until the frontend goes, the window first.
  void Open();

  // The operator and the pump of the window once it is open, else the terminal's.
  IOperator& Operator();
  IEventPump& Pump();

  // Runs the driver until it stops; its exit status.
  int Run(DriverProgram& program, IClock& clock, ServiceWatchdog& watchdog);

 private:
  int& argc_;
  char** argv_;
  bool windowed_ = false;
  HeadlessOperator terminal_;
  ServingPump pump_;
  std::optional<StopSignals> stopSignals_;
#ifdef RUVO_WITH_GUI
  std::unique_ptr<gui::WindowedDriver> window_;
#endif
};

}  // namespace ruvo
