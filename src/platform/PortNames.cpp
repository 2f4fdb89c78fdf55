#include "platform/PortNames.h"

#include <mutex>

#include "platform/Clock.h"
#include "platform/FileIdentity.h"
#include "platform/IniFile.h"

namespace ruvo {

namespace {

// The port is opened once a second by the idle connection check, and its mapping is read
// at every open so that a hand edit applies at once. The settings file seldom changes, so
// its last reading is kept and used again while the file keeps its identity.
class SettingsReading {
 public:
  std::string PortEntry(const std::string& path, const std::string& portName) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::optional<FileIdentity> identity = IdentityOf(path);
    if (!identity || !(path == path_ && identity == identity_)) {
      path_.clear();
      IniFile settings;
      if (!settings.Load(path)) return std::string();
      settings_ = std::move(settings);
      // A file changed a moment ago may change again without new times: read it again.
      if (identity && identity->regular &&
          !WrittenJustNow(*identity, DefaultClock().FileTimeNowNs())) {
        path_ = path;
        identity_ = identity;
      }
    }
    return settings_.ReadString(kPortSection, portName);
  }

 private:
  std::mutex mutex_;
  std::string path_;
  std::optional<FileIdentity> identity_;
  IniFile settings_;
};

SettingsReading& LastSettingsReading() {
  static SettingsReading reading;
  return reading;
}

}  // namespace

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

std::string ReadPortEntry(const std::string& settingsPath, const std::string& portName) {
  if (settingsPath.empty()) return std::string();
  return LastSettingsReading().PortEntry(settingsPath, portName);
}

std::optional<std::string> ResolvePortDevice(const std::string& settingsPath,
                                             const std::string& portName) {
  const std::optional<int> number = ParsePortNumber(portName);
  if (!number) return std::nullopt;
  if (!settingsPath.empty()) {
    const std::string mapped = LastSettingsReading().PortEntry(settingsPath, portName);
    if (!mapped.empty()) return mapped;
  }
  return "/dev/ttyS" + std::to_string(*number - 1);
}

}  // namespace ruvo
