#include "Frontend.h"

#include <vector>

#include "DriverProgram.h"
#include "HeadlessLoop.h"
#include "platform/Log.h"

namespace ruvo {

#ifdef RUVO_WITH_GUI

namespace {

// The window watches the control socket and the HTTP server beside its timers, as the
// headless loop does.
std::vector<gui::DescriptorWatch> WatchesOf(DriverProgram& program) {
  ControlServer& control = program.Control();
  std::vector<gui::DescriptorWatch> watches = {{control.Fd(), [&control] { control.ServeOne(); },
                                                true, [&control] { return control.HasWaiting(); }}};
  if (http::HttpService* http = program.Http()) {
    watches.push_back(
        {http->Fd(), [http] { http->Serve(); }, true, [http] { return http->HasWaiting(); }});
  }
  return watches;
}

}  // namespace

Frontend::Frontend(int& argc, char** argv, bool headlessAsked) : argc_(argc), argv_(argv) {
  windowed_ = !headlessAsked && gui::DisplayAvailable();
  if (!headlessAsked && !windowed_) Log(LogLevel::Info, "no display; running headless");
}

Frontend::~Frontend() = default;

std::function<void(const std::string&)> Frontend::NoticeBeforeStart() {
  if (!windowed_) return {};
  return [this](const std::string& text) { gui::ShowSimpleMessage(argc_, argv_, text); };
}

void Frontend::Open() {
  if (!stopSignals_) stopSignals_.emplace();
  if (windowed_ && !window_) window_ = std::make_unique<gui::WindowedDriver>(argc_, argv_);
}

IOperator& Frontend::Operator() { return window_ ? window_->Operator() : terminal_; }

IEventPump& Frontend::Pump() { return window_ ? window_->Pump() : pump_; }

int Frontend::Run(DriverProgram& program, IClock& clock, ServiceWatchdog& watchdog) {
  Open();
  if (window_) {
    return window_->Run(program.TheDriver(), &program.Observer(), *stopSignals_,
                        WatchesOf(program));
  }
  return RunHeadless(program, clock, pump_, watchdog, *stopSignals_);
}

#else

Frontend::Frontend(int& argc, char** argv, bool headlessAsked) : argc_(argc), argv_(argv) {
  if (!headlessAsked) Log(LogLevel::Info, "built without the window; running headless");
}

Frontend::~Frontend() = default;

std::function<void(const std::string&)> Frontend::NoticeBeforeStart() { return {}; }

void Frontend::Open() {
  if (!stopSignals_) stopSignals_.emplace();
}

IOperator& Frontend::Operator() { return terminal_; }

IEventPump& Frontend::Pump() { return pump_; }

int Frontend::Run(DriverProgram& program, IClock& clock, ServiceWatchdog& watchdog) {
  Open();
  return RunHeadless(program, clock, pump_, watchdog, *stopSignals_);
}

#endif

}  // namespace ruvo
