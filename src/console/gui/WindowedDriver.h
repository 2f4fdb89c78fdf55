#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Driver.h"
#include "app/DriverObserver.h"
#include "app/Operator.h"
#include "platform/EventPump.h"
#include "platform/StopSignals.h"

class QObject;

namespace ruvo::gui {

// True when a window can be shown: an X11 or Wayland display, or a Qt platform chosen
// explicitly (QT_QPA_PLATFORM, e.g. offscreen).
bool DisplayAvailable();

// The platform's simple message box, for the few notices that come before any window
// (the second start's "Aplicatia deja lucreaza").
void ShowSimpleMessage(int& argc, char** argv, const std::string& text);

// Calls onStop on the event loop when a stop signal comes through stop, for as long as
// owner lives; also inside the driver's waits, which serve the event loop. Without the
// signals' descriptor it looks for them a few times a second.
void OnStopSignal(StopSignals& stop, QObject& owner, std::function<void()> onStop);

// The driver as a desktop program: the Qt application, the operator's dialogs and an event
// pump that keeps the window alive during ECR waits. Make it before the driver (the driver
// takes its operator and pump), then Run.
// A descriptor the window watches beside its timers, and the work to run on the driver's
// thread when it becomes readable.
struct DescriptorWatch {
  int fd = -1;
  std::function<void()> onReadable;
  // Run also while the driver works (inside its waits): the work decides itself what may
  // run now. Asked again every tenth of a second while keptWaiting() says so.
  bool alsoWhileBusy = false;
  std::function<bool()> keptWaiting;
};

class WindowedDriver {
 public:
  WindowedDriver(int& argc, char** argv);
  ~WindowedDriver();
  WindowedDriver(const WindowedDriver&) = delete;
  WindowedDriver& operator=(const WindowedDriver&) = delete;

  IOperator& Operator();
  IEventPump& Pump();

  // Builds the main window on the driver, starts the driver and runs until "Stop program",
  // or SIGTERM or SIGINT through stopSignals; the close sequence has run when this returns.
  // alsoTell hears every change of the driver's state as well. The window also watches each
  // descriptor of watches (and the driver's receipt arrivals) and runs its work when it is
  // readable and nothing else runs.
  int Run(Driver& driver, IDriverObserver* alsoTell, StopSignals& stopSignals,
          const std::vector<DescriptorWatch>& watches = {});

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace ruvo::gui
