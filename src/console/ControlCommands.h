#pragma once

#include <string>
#include <vector>

#include "console/ControlProtocol.h"

namespace ruvo {

class Driver;

inline const std::string kStopProcessingFirst = "Opriti procesarea: ruvo_drv ctl stop";

// One request of the control socket, run on the driver's thread: "[--dir DIR] COMMAND
// ARGUMENTS...", as `ruvo_drv ctl` takes them. status, stop and start run at any time;
// the manual operations run exactly as from the window, only while processing is
// stopped, and a request they cannot take (unknown, badly formed, refused by the
// operation's own input check) changes nothing. The answer holds what the window would
// have shown. Nothing here throws.
ControlAnswer RunControlCommand(Driver& driver, const std::vector<std::string>& arguments);

}  // namespace ruvo
