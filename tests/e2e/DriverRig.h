#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SimulatedEcr.h"
#include "platform/TempFolder.h"
#include "support/ChildProcess.h"

namespace ruvo::e2e {

struct RigOptions {
  // A second simulator behind COM2, for files whose first line chooses it.
  bool secondEcr = false;
  // Extra options of the simulator behind COM1.
  std::vector<std::string> simArgs;
  // Extra "Key=Value" lines of section "Configurari". "PreluareImediata" is on unless
  // named here.
  std::vector<std::string> settings;
  // The driver with its window (on Qt's offscreen platform) instead of headless.
  bool window = false;
};

// One working folder with ruvo_drv running headless on it and xruvo_sim behind COM1
// (and COM2), as a shop would have them: files in, files out, paper on the simulator.
class DriverRig {
 public:
  // Generous: a working driver answers a small file within about two seconds.
  static constexpr int kAnswerMs = 8000;

  explicit DriverRig(RigOptions options = {});

  // Makes the driver's working folder a subfolder of the rig's, which then keeps only the
  // simulators' files and the driver's output: a test may mount a file system of its own
  // there. Before Start.
  void UseDriverSubfolder(const std::string& name);

  // The simulators, the settings file and the driver, until the driver is connected.
  bool Start();
  // Maps COM1 to entry (a device server's address) instead of the simulator's link: before
  // Start, or in a running driver's settings file.
  void MapCom1(const std::string& entry);
  // Off: Start waits only until the driver processes, not until it is connected.
  void AwaitConnected(bool on) { awaitConnected_ = on; }

  SimulatedEcr& Ecr() { return *ecr1_; }
  SimulatedEcr& SecondEcr() { return *ecr2_; }
  bool HasSecondEcr() const { return ecr2_ != nullptr; }
  // The driver's working folder.
  const std::string& Folder() const { return driverFolder_; }
  // The driver's --instance name, which `ruvo_drv ctl` needs to find it.
  const std::string& Instance() const { return instance_; }
  // The environment the driver runs in, which `ruvo_drv ctl` needs too: the user's runtime
  // folder is one of the rig's own, so nothing is left in the real one.
  std::vector<std::string> Environment() const;
  // The driver's control socket, and the $XDG_RUNTIME_DIR it is under.
  std::string ControlSocket() const;
  const std::string& RuntimeBase() const { return runtime_.Path(); }
  std::string PathOf(const std::string& name) const { return driverFolder_ + "/" + name; }

  // Puts a receipt file into the folder the way a careful sales application does: written
  // under a name the driver does not look at, then renamed into place.
  bool Drop(const std::string& name, const std::string& content);
  // The response to the receipt file name: waits until the file is gone and its
  // response is there, then reads the response. nullopt when that does not happen in time.
  std::optional<std::string> AwaitResponse(const std::string& receiptName,
                                           int timeoutMs = kAnswerMs);
  // Drop and AwaitResponse in one, the response split into its lines.
  std::vector<std::string> Run(const std::string& name, const std::vector<std::string>& lines);

  bool DriverRunning() { return driver_.Running(); }
  pid_t DriverPid() const { return driver_.Pid(); }
  // The processor time the driver has used so far, in milliseconds; -1 when it cannot be read.
  long DriverCpuMs() const;
  // A value of the status file RUVODRV.INFO ("" when it cannot be read).
  std::string Status(const std::string& key) const;
  // SIGTERM to the driver; its exit code.
  int StopDriver();
  // SIGKILL to the driver, as a crash or a power cut leaves it; true once it is gone.
  bool KillDriver();
  // Starts the driver again on the same folder and ECR, until it has started processing.
  bool RestartDriver();
  // Moves the wall clock of the driver started next (and only its) by seconds, through the
  // ruvo_clock_shift shim.
  void ShiftDriverClock(long long seconds) { clockShiftS_ = seconds; }
  // What the driver said on its standard error (message boxes go there headless).
  std::string DriverMessages() const;

 private:
  std::string SettingsText() const;
  bool StartDriver();

  RigOptions options_;
  ruvo::testing::TempFolder folder_;
  ruvo::testing::TempFolder runtime_;  // the driver's $XDG_RUNTIME_DIR
  std::string driverFolder_;
  std::unique_ptr<SimulatedEcr> ecr1_;
  std::unique_ptr<SimulatedEcr> ecr2_;
  ChildProcess driver_;
  std::string instance_;
  bool driverStarted_ = false;
  std::string com1_;
  bool awaitConnected_ = true;
  long long clockShiftS_ = 0;
};

// The response file's lines without their CR LF ends.
std::vector<std::string> ResponseLines(const std::string& response);

// The simulator's paper cut: a line of dashes.
inline const std::string kCutLine = std::string(40, '-') + "\n";

// A test with a rig; at its end the driver must stop cleanly (exit status 0) on SIGTERM,
// and so must the simulators.
class DriverTest : public ::testing::Test {
 protected:
  explicit DriverTest(RigOptions options = {}) : rig(std::move(options)) {}
  void TearDown() override;

  DriverRig rig;
};

}  // namespace ruvo::e2e
