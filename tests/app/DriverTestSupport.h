#pragma once

#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Engine.h"
#include "SimSerialPort.h"
#include "app/Driver.h"
#include "app/Operator.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/IniFile.h"
#include "platform/TempFolder.h"
#include "support/FileBytes.h"
#include "support/RecordingOperator.h"

namespace ruvo::testing {

inline std::string StatusValue(const std::string& statusPath, const std::string& key) {
  IniFile ini;
  ini.Load(statusPath);
  return ini.ReadString("INFO", key, "<missing>");
}

// In-process simulator ports, each link its own, all on the one simulated ECR.
class SimPortFactory final : public IPortFactory {
 public:
  SimPortFactory(xruvo_sim::Engine& engine, VirtualClock& clock) : engine_(engine), clock_(clock) {}
  std::unique_ptr<ISerialPort> MakePort() override {
    ++made;
    auto port = std::make_unique<xruvo_sim::SimSerialPort>(engine_, clock_);
    port->SetPortRange(firstPort, lastPort);
    return port;
  }

  int made = 0;
  int firstPort = 1;
  int lastPort = 16;

 private:
  xruvo_sim::Engine& engine_;
  VirtualClock& clock_;
};

// The receipt file cycle as the timers see it: counts calls and answers as told.
class FakeReceiptFiles final : public IReceiptFiles {
 public:
  bool PickUpNext() override {
    ++pickUps;
    if (throwOnPickUp) throw std::runtime_error("stray");
    if (waitingFiles == 0) return false;
    --waitingFiles;
    return true;
  }
  void CleanOldFiles() override { ++cleanUps; }

  int pickUps = 0;
  int cleanUps = 0;
  int waitingFiles = 0;
  bool throwOnPickUp = false;
};

// A driver on a temporary working folder with the simulated ECR behind it, in virtual time.
struct DriverBench {
  explicit DriverBench(xruvo_sim::SimConfig config = {})
      : engine(clock, nullptr, std::move(config)),
        ports(engine, clock),
        driver(DriverContext{clock, pump, op, ports}, folder.Path()),
        files() {
    driver.SetReceiptFiles(files);
  }

  std::string Path(const std::string& name) const { return folder / name; }
  std::string Status(const std::string& key) const { return StatusValue(driver.StatusPath(), key); }
  void WriteSettings(const std::string& text) { WriteBytes(driver.SettingsPath(), text); }
  // The ECR stops answering, or answers again.
  void SetEcrSilent(bool silent) { engine.Faults().silentAlways = silent; }
  // One second of the two timers.
  void Tick() {
    clock.Advance(Driver::kTimerIntervalMs);
    driver.TcheckComTick();
    driver.TprocessorTick();
  }
  int CommandsReceived(const std::string& prefix) const {
    int count = 0;
    for (const std::string& text : engine.ReceivedCommands()) {
      if (text.rfind(prefix, 0) == 0) ++count;
    }
    return count;
  }

  TempFolder folder;
  VirtualClock clock;
  NullEventPump pump;
  RecordingOperator op;
  xruvo_sim::Engine engine;
  SimPortFactory ports;
  Driver driver;
  FakeReceiptFiles files;
};

}  // namespace ruvo::testing
