#include "HeadlessLoop.h"

#include <algorithm>
#include <cstdint>

#include "DriverProgram.h"
#include "app/ServingPump.h"
#include "app/TimerLoop.h"
#include "platform/ServiceNotify.h"
#include "platform/StopSignals.h"
#include "platform/WaitReadable.h"

namespace ruvo {

int RunHeadless(DriverProgram& program, IClock& clock, ServingPump& pump, ServiceWatchdog& watchdog,
                StopSignals& stopSignals) {
  Driver& driver = program.TheDriver();
  ControlServer& control = program.Control();
  http::HttpService* http = program.Http();
  if (control.Listening() || http != nullptr) pump.Serve([&program] { program.ServeRequests(); });
  driver.Start();
  service_notify::Ready(program.Observer().Text());
  const int arrivals = driver.ArrivalWatch().Fd();
  // Idle, the loop sleeps until the next tick, a receipt file, a control request or a stop
  // signal.
  RunTimerLoop(
      driver, clock, [&] { return stopSignals.Requested(); },
      [&](std::int64_t ms) {
        // Requests kept for the end of the work are asked again at the next turn.
        if (program.RequestsWaiting()) ms = std::min<std::int64_t>(ms, ServingPump::kSliceMs);
        WaitReadable({stopSignals.Fd(), arrivals, control.Fd(), http ? http->Fd() : -1}, ms);
      },
      [&] {
        watchdog.Beat();
        program.ServeRequests();
      });
  service_notify::Stopping();
  driver.Close();
  return 0;
}

}  // namespace ruvo
