#pragma once

#include <optional>
#include <string>
#include <vector>

#include "console/ControlProtocol.h"

namespace ruvo {

class Driver;

inline const std::string kStopProcessingFirst = "Opriti procesarea: ruvo_drv ctl stop";
// The status line of the manual operation under way: this, its name, " din " and its start.
inline const std::string kOperationRunningLine = "Operatie in curs: ";
// stop-report's answer when the stop went to the running report's link: this and its name.
inline const std::string kStopAskedLine = "Oprire ceruta raportului in curs: ";

// One request of the control socket, run on the driver's thread: "[--dir DIR] COMMAND
// ARGUMENTS...", as `ruvo_drv ctl` takes them. status, stop and start run at any time;
// the manual operations run exactly as from the window, only while processing is
// stopped, and a request they cannot take (unknown, badly formed, refused by the
// operation's own input check) changes nothing. The answer holds what the window would
// have shown. Nothing here throws.
ControlAnswer RunControlCommand(Driver& driver, const std::vector<std::string>& arguments);

// What the control socket runs for a request, also one that arrives while the driver works
// (from inside a wait): status at once, with the operation under way; a manual operation
// refused at once while processing runs ("Opriti procesarea: ruvo_drv ctl stop", before its
// arguments are read) or while another operation runs ("O operatie este in curs: ...");
// stop-report sent to the running report's link. start and stop, and a manual operation
// that finds the driver busy with something else, wait for the work to end: nullopt, and
// the server asks again.
std::optional<ControlAnswer> ServeControlRequest(Driver& driver,
                                                 const std::vector<std::string>& arguments);

}  // namespace ruvo
