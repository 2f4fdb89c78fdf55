#include "app/PortCheck.h"

#include "app/Settings.h"
#include "app/SettingsFile.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/IniFile.h"
#include "platform/NetworkAddress.h"
#include "platform/PortNames.h"
#include "platform/PortOpenFailure.h"
#include "platform/TcpSerialPort.h"

namespace ruvo {

namespace {

// A device server named: one attempt to reach it says whether the address is right, for
// the technician. Its answer does not decide: a service must start (and wait for its ECR)
// also while the network or the box is not up yet.
std::string ReachOf(const std::string& settingsPath, const std::string& portName) {
  SystemClock clock;
  NullEventPump noLoop;
  TcpSerialPort port(settingsPath, clock, noLoop);
  if (port.Open(portName)) return "the device server answers";
  return port.OpenFailure() ? port.OpenFailure()->ForLog() : "the device server does not answer";
}

}  // namespace

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
              "=/dev/serial/by-id/... (or " + portName + "=tcp://HOST:PORT, " + portName +
              "=rfc2217://HOST:PORT for a serial device server) to section [" + kPortSection + "]";
    return false;
  }
  if (NamesNetwork(device)) {
    const std::optional<NetworkAddress> address = ParseNetworkAddress(device);
    if (!address) {
      message = portName + "=" + device +
                " is no network address: write tcp://HOST:PORT or rfc2217://HOST:PORT";
      return false;
    }
    message = portName + "=" + address->Text() + "\n" + ReachOf(settingsPath, portName);
    return true;
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
