#pragma once

namespace ruvo {

class DriverProgram;
class IClock;
class ServiceWatchdog;
class ServingPump;
class StopSignals;

// Runs the driver without a window until a stop signal: the two ticks on the clock, and
// the receipt files, control requests and HTTP requests as they come. Returns the exit
// status.
int RunHeadless(DriverProgram& program, IClock& clock, ServingPump& pump, ServiceWatchdog& watchdog,
                StopSignals& stopSignals);

}  // namespace ruvo
