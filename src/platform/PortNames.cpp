#include "platform/PortNames.h"

#include "platform/IniFile.h"

namespace ruvo {

std::optional<int> ParsePortNumber(const std::string& portName) {
  if (portName.size() < 4 || portName.size() > 5 || portName.compare(0, 3, "COM") != 0) {
    return std::nullopt;
  }
  const std::string digits = portName.substr(3);
  if (digits[0] == '0') return std::nullopt;  // COM0 and zero-padded names
  int number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
  }
  if (number < kFirstComPort || number > kLastComPort) return std::nullopt;
  return number;
}

std::optional<std::string> ResolvePortDevice(const std::string& settingsPath,
                                             const std::string& portName) {
  const std::optional<int> number = ParsePortNumber(portName);
  if (!number) return std::nullopt;
  IniFile settings;
  if (!settingsPath.empty() && settings.Load(settingsPath)) {
    const std::string mapped = settings.ReadString(kPortSection, portName);
    if (!mapped.empty()) return mapped;
  }
  return "/dev/ttyS" + std::to_string(*number - 1);
}

}  // namespace ruvo
