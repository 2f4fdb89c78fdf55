// ruvo_drv as a real process: the run-once guard between two drivers, the clean stop on a
// signal, and a connection to the xruvo_sim program over its pseudo-terminal.
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "DriverTestSupport.h"
#include "platform/Files.h"
#include "platform/ServiceNotify.h"
#include "support/ChildProcess.h"

namespace ruvo::testing {
namespace {

// Generous limits: they only keep a broken program from hanging the test.
constexpr int kPatienceMs = 5000;

bool WaitFor(const std::function<bool()>& condition) { return WaitUntil(condition, kPatienceMs); }

// A name of the run-once guard that no other test, and no real driver, uses.
std::string UniqueInstanceName() {
  static int counter = 0;
  return "ruvo-drv-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

// A child process with its standard error in a file; killed if the test leaves it running.
// The run-once guard's name goes in through the environment, as a shop's script would set it.
class Process {
 public:
  Process(const std::vector<std::string>& args, const std::string& errPath,
          const std::string& instanceName = "") {
    std::vector<std::string> environment;
    if (!instanceName.empty()) environment.push_back("RUVO_DRV_INSTANCE=" + instanceName);
    child_.Start(args, "/dev/null", errPath, environment);
  }
  bool Running() { return child_.Running(); }
  int Wait() { return child_.Wait(kPatienceMs); }
  int Stop(int signal) { return child_.Stop(signal, kPatienceMs); }

 private:
  ruvo::testing::ChildProcess child_;
};

std::vector<std::string> DriverArgs(const std::string& dir) {
  return {RUVO_DRV_PATH, "--headless", "--dir", dir};
}

TEST(DriverExecutable, ASecondStartIsRefusedAndTheFirstStopsCleanlyOnSigterm) {
  TempFolder dir;
  // COM1 leads nowhere: the driver runs, not connected, retrying.
  WriteBytes(dir / "XRUVODRV.INI",
             "[Porturi]\r\nCOM1=" + (dir / "no-such-tty") + "\r\n[Configurari]\r\nDelay=3\r\n");
  const std::string name = UniqueInstanceName();
  Process first(DriverArgs(dir.Path()), dir / "first.err", name);
  const std::string status = dir / "RUVODRV.INFO";
  ASSERT_TRUE(WaitFor([&] { return StatusValue(status, "Stare") == "START PROCESARE"; }));
  EXPECT_EQ(StatusValue(status, "ConectatLaCasa"), "NU");

  Process second(DriverArgs(dir.Path()), dir / "second.err", name);
  const int secondExit = second.Wait();
  EXPECT_NE(secondExit, 0);
  EXPECT_NE(secondExit, -2);
  EXPECT_NE(ReadBytes(dir / "second.err").find("Aplicatia deja lucreaza"), std::string::npos);
  EXPECT_TRUE(first.Running());
  EXPECT_EQ(StatusValue(status, "Stare"), "START PROCESARE");

  EXPECT_EQ(first.Stop(SIGTERM), 0);
  EXPECT_EQ(StatusValue(status, "Stare"), "DRIVER INCHIS");
  IniFile ini;
  ASSERT_TRUE(ini.Load(dir / "XRUVODRV.INI"));
  EXPECT_EQ(ini.ReadString("Configurari", "TratareBonInDerulare"), "2");
  EXPECT_EQ(ini.ReadString("Configurari", "Delay"), "3");
  EXPECT_EQ(ini.ReadString("Porturi", "COM1"), dir / "no-such-tty");

  // The guard went with the first driver: a new one starts. A hang-up closes it as
  // cleanly as SIGTERM does.
  Process third(DriverArgs(dir.Path()), dir / "third.err", name);
  ASSERT_TRUE(WaitFor([&] { return StatusValue(status, "Stare") == "START PROCESARE"; }));
  EXPECT_EQ(third.Stop(SIGHUP), 0);
  EXPECT_EQ(StatusValue(status, "Stare"), "DRIVER INCHIS");
}

TEST(DriverExecutable, HelpBadOptionsAndAMissingFolder) {
  TempFolder dir;
  const std::string name = UniqueInstanceName();
  Process help({RUVO_DRV_PATH, "--help"}, dir / "help.err", name);
  EXPECT_EQ(help.Wait(), 0);
  Process bad({RUVO_DRV_PATH, "--frobnicate"}, dir / "bad.err", name);
  EXPECT_EQ(bad.Wait(), 2);
  EXPECT_NE(ReadBytes(dir / "bad.err").find("unknown argument: --frobnicate"), std::string::npos);
  Process missing(DriverArgs(dir / "nowhere"), dir / "missing.err", name);
  EXPECT_EQ(missing.Wait(), 2);
  EXPECT_FALSE(FileExists(dir / "nowhere"));
  // The instance name becomes a folder's name: one that would climb out is refused.
  std::vector<std::string> climbing = DriverArgs(dir.Path());
  climbing.insert(climbing.end(), {"--instance", "../../escaped"});
  Process climber(climbing, dir / "climber.err", name);
  EXPECT_EQ(climber.Wait(), 2);
  EXPECT_NE(ReadBytes(dir / "climber.err").find("the instance name must be a file name"),
            std::string::npos);
  EXPECT_FALSE(FileExists(dir / "escaped"));
}

TEST(DriverExecutable, ConnectsToTheSimulatorAndNoticesWhenItGoes) {
  TempFolder dir;
  const std::string tty = dir / "ttyXRUVO";
  Process sim({XRUVO_SIM_PATH, "--link", tty, "--paper", dir / "paper.txt"}, dir / "sim.err");
  struct stat st {};
  ASSERT_TRUE(WaitFor([&] { return lstat(tty.c_str(), &st) == 0; }));
  WriteBytes(dir / "XRUVODRV.INI", "[Porturi]\r\nCOM1=" + tty + "\r\n");

  Process driver(DriverArgs(dir.Path()), dir / "driver.err", UniqueInstanceName());
  const std::string status = dir / "RUVODRV.INFO";
  ASSERT_TRUE(WaitFor([&] { return StatusValue(status, "ConectatLaCasa") == "DA"; }))
      << ReadBytes(dir / "driver.err");
  EXPECT_EQ(StatusValue(status, "Stare"), "START PROCESARE");

  EXPECT_EQ(sim.Stop(SIGTERM), 0);
  // The simulator may go while the driver waits for its answer to the JE query that
  // follows the first successful check: that wait ends only with its 5 s time-out.
  EXPECT_TRUE(
      WaitUntil([&] { return StatusValue(status, "ConectatLaCasa") == "NU"; }, kPatienceMs + 5000));
  EXPECT_EQ(driver.Stop(SIGINT), 0);
  EXPECT_EQ(StatusValue(status, "Stare"), "DRIVER INCHIS");
  EXPECT_EQ(StatusValue(status, "ConectatLaCasa"), "NU");
}

// What a service manager hears from a unit of Type=notify: the driver is ready once it
// has started, says its state, that it lives, and that it stops.
TEST(DriverExecutable, TellsTheServiceManagerItIsReadyAliveAndStopping) {
  if (!service_notify::Available()) GTEST_SKIP() << "built without libsystemd";
  TempFolder dir;
  WriteBytes(dir / "XRUVODRV.INI", "[Porturi]\r\nCOM1=" + (dir / "no-such-tty") + "\r\n");
  const std::string socketPath = dir / "notify";
  const int listener = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  std::string heard;
  const auto hear = [&] {
    char buffer[512];
    ssize_t n = 0;
    while ((n = ::recv(listener, buffer, sizeof buffer, 0)) > 0) {
      heard.append(buffer, static_cast<std::size_t>(n)).append("|");
    }
  };

  ChildProcess driver;
  ASSERT_TRUE(
      driver.Start(DriverArgs(dir.Path()), "/dev/null", dir / "driver.err",
                   {"NOTIFY_SOCKET=" + socketPath, "RUVO_DRV_INSTANCE=" + UniqueInstanceName()}));
  EXPECT_TRUE(WaitFor([&] {
    hear();
    return heard.find("WATCHDOG=1") != std::string::npos;
  })) << heard
      << ReadBytes(dir / "driver.err");
  EXPECT_NE(heard.find("READY=1\nSTATUS=START PROCESARE, Neconectat la casa|"), std::string::npos)
      << heard;
  EXPECT_EQ(driver.Stop(SIGTERM, kPatienceMs), 0);
  hear();
  EXPECT_NE(heard.find("STOPPING=1"), std::string::npos) << heard;
  ::close(listener);
}

}  // namespace
}  // namespace ruvo::testing
