#pragma once

#include <string>

namespace ruvo {

// Whether the settings in a working folder name the ECR's port: the COM port "Port" chooses
// has an entry in section "Porturi". A service waits for that instead of opening a serial
// port nobody chose (COM1 falls back to /dev/ttyS0 otherwise). The answer is one line for
// the technician, in message.
bool SettingsNamePort(const std::string& settingsPath, std::string& message);

}  // namespace ruvo
