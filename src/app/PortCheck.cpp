#include "app/PortCheck.h"

#include "app/Settings.h"
#include "app/SettingsFile.h"
#include "platform/IniFile.h"
#include "platform/PortNames.h"
#include "platform/PortOpenFailure.h"

namespace ruvo {

bool SettingsNamePort(const std::string& settingsPath, std::string& message) {
  IniFile ini;
  if (!ini.Load(settingsPath)) {
    message = settingsPath + " cannot be read";
    return false;
  }
  Settings settings;
  ReadSettings(ini, settings);
  const std::string portName = "COM" + std::to_string(settings.PortToOpen());
  const std::string device = ini.ReadString(kPortSection, portName);
  if (device.empty()) {
    message = settingsPath + " names no device for " + portName + ": add " + portName +
              "=/dev/serial/by-id/... to section [" + kPortSection + "]";
    return false;
  }
  message = portName + "=" + device;
  return true;
}

std::string NamedPortProblem(const std::string& settingsPath) {
  IniFile ini;
  if (!ini.Load(settingsPath)) return "";
  Settings settings;
  ReadSettings(ini, settings);
  const std::string portName = "COM" + std::to_string(settings.PortToOpen());
  const std::string device = ini.ReadString(kPortSection, portName);
  if (device.empty()) return "";
  const std::optional<PortOpenFailure> failure = TryOpenPort(portName, device);
  return failure ? failure->ForLog() : "";
}

}  // namespace ruvo
