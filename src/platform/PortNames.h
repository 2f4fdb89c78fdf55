#pragma once

#include <optional>
#include <string>

namespace ruvo {

// The COM port numbers the driver offers.
constexpr int kFirstComPort = 1;
constexpr int kLastComPort = 16;

// The section of XRUVODRV.INI that maps port names to devices, e.g. COM1=/dev/ttyUSB0.
// It is edited by hand; the driver only reads it.
constexpr const char* kPortSection = "Porturi";

// "COM1" .. "COM16" give 1 .. 16. Anything else (COM0, COM17, COM01, "COMx", "com1",
// blanks) is no port at all.
std::optional<int> ParsePortNumber(const std::string& portName);

// The entry of portName in section "Porturi" as written ("" when there is none or the file
// cannot be read): a device path, or a network address (platform/NetworkAddress).
std::string ReadPortEntry(const std::string& settingsPath, const std::string& portName);

// The device behind portName: the "Porturi" entry of the settings file when there is one,
// else /dev/ttyS<n-1>. nullopt for a name that is no port. A missing or unreadable settings
// file just means there is no mapping.
std::optional<std::string> ResolvePortDevice(const std::string& settingsPath,
                                             const std::string& portName);

}  // namespace ruvo
