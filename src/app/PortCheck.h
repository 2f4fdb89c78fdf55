#pragma once

#include <string>

namespace ruvo {

// Whether the settings in a working folder name the ECR's port: the COM port "Port" chooses
// has an entry in section "Porturi". A service waits for that instead of opening a serial
// port nobody chose (COM1 falls back to /dev/ttyS0 otherwise). The answer is one line for
// the technician, in message. A serial device server's address must be well formed; the
// server is then tried once and a second line says whether it answers or why not (refused,
// no route, time-out, name not found, another client holds the port), without deciding.
bool SettingsNamePort(const std::string& settingsPath, std::string& message);

// Why the port the settings name does not open now, as the driver will say it (empty when
// it opens, or when no port is named): the check before a start tells the journal whether
// the device is missing, the service's device policy or the device's permissions refuse
// it. The start goes on either way: the driver waits for the port.
std::string NamedPortProblem(const std::string& settingsPath);

}  // namespace ruvo
