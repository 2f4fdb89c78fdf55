#pragma once

#ifdef RUVO_WITH_GUI
#include "console/gui/WindowedDriver.h"

namespace ruvo {

class DriverProgram;
class StopSignals;

// Runs the driver in its window until "Stop program" or a stop signal; the window watches
// the control socket and the HTTP server beside its timers, as the headless loop does.
int RunWindowed(gui::WindowedDriver& window, DriverProgram& program, StopSignals& stopSignals);

}  // namespace ruvo
#endif
