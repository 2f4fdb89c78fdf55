// A port that does not open is told once per reason, not once per connection check: on
// standard error for the technician and as a warning line for the operator.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/Driver.h"
#include "app/PortFailureReport.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/TempFolder.h"
#include "support/ChildProcess.h"
#include "support/FileBytes.h"
#include "support/RecordingOperator.h"

namespace ruvo::testing {
namespace {

int Occurrences(const std::string& text, const std::string& what) {
  int count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

int LinesContaining(const std::vector<std::string>& lines, const std::string& what) {
  int count = 0;
  for (const std::string& line : lines) count += line.find(what) != std::string::npos ? 1 : 0;
  return count;
}

// Standard error into a file for the life of the object.
class StderrCapture {
 public:
  explicit StderrCapture(const std::string& path) {
    std::fflush(stderr);
    saved_ = ::dup(STDERR_FILENO);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
  }
  ~StderrCapture() {
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
  }
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

 private:
  int saved_ = -1;
};

TEST(PortDiagnostics, EachReasonIsToldOnceUntilItChanges) {
  TempFolder folder;
  const std::string device = folder / "ttyUSB0";
  WriteBytes(folder / "XRUVODRV.INI", "[Porturi]\r\nCOM1=" + device + "\r\n");
  VirtualClock clock;
  NullEventPump pump;
  RecordingOperator op;
  PosixPortFactory ports(folder / "XRUVODRV.INI");
  Driver driver(DriverContext{clock, pump, op, ports}, folder.Path());
  driver.LoadSettings();

  const std::string errPath = folder / "stderr.txt";
  {
    StderrCapture capture(errPath);
    for (int second = 0; second < 3; ++second) driver.CheckConnection();
    // The adapter is there now, but it is no serial port: a new reason, told once.
    WriteBytes(device, "");
    for (int second = 0; second < 3; ++second) driver.CheckConnection();
    ::unlink(device.c_str());
    driver.CheckConnection();
  }
  const std::string err = ReadBytes(errPath);
  EXPECT_EQ(Occurrences(err, "(ENOENT)"), 2) << err;
  EXPECT_EQ(Occurrences(err, "(ENOTTY)"), 1) << err;
  EXPECT_EQ(Occurrences(err, " warning: COM1 (" + device + ")"), 3) << err;
  // The operator sees the current reason only, once, beside any other warning.
  const std::vector<std::string>& box = driver.State().warningBox;
  EXPECT_EQ(LinesContaining(box, "(ENOENT)"), 1);
  EXPECT_EQ(LinesContaining(box, "(ENOTTY)"), 0);
  EXPECT_FALSE(driver.State().connected);
  EXPECT_TRUE(op.boxes.empty() && op.errors.empty())
      << "no message box for a port that does not open";
}

TEST(PortDiagnostics, APortThatOpensAgainTakesItsWarningAway) {
  PortFailureReport report;
  std::vector<std::string> box = {"Linii libere in memoria JE :600"};
  const PortOpenFailure missing{"COM1", "/dev/ttyUSB0", ENOENT, "", "", false};
  TempFolder folder;
  {
    StderrCapture capture(folder / "err");
    EXPECT_TRUE(report.Update(missing, box));
    EXPECT_FALSE(report.Update(missing, box));
    EXPECT_TRUE(report.Update(std::nullopt, box));
    EXPECT_FALSE(report.Update(std::nullopt, box));
  }
  EXPECT_EQ(box, std::vector<std::string>{"Linii libere in memoria JE :600"});
  EXPECT_EQ(Occurrences(ReadBytes(folder / "err"), "COM1 opens again"), 1);
}

// The real program, as a technician meets it: a pseudo-terminal another program holds.
TEST(PortDiagnostics, TheRunningDriverNamesTheProgramThatHoldsItsPort) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string slave = ::ptsname(master);
  const int held = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  ASSERT_EQ(::ioctl(held, TIOCEXCL), 0);

  TempFolder folder;
  WriteBytes(folder / "XRUVODRV.INI", "[Porturi]\r\nCOM1=" + slave + "\r\n");
  ChildProcess driver;
  ASSERT_TRUE(driver.Start({RUVO_DRV_PATH, "--headless", "--dir", folder.Path()}, "/dev/null",
                           folder / "err",
                           {"RUVO_DRV_INSTANCE=ruvo-drv-test-busy-" + std::to_string(::getpid())}));
  // Three connection checks at least.
  const std::string expected =
      "is held by another program (EBUSY): pid " + std::to_string(::getpid());
  EXPECT_TRUE(
      WaitUntil([&] { return ReadBytes(folder / "err").find(expected) != std::string::npos; },
                5000));
  ::usleep(2500 * 1000);
  EXPECT_EQ(driver.Stop(SIGTERM, 5000), 0);
  ::close(held);
  ::close(master);
  const std::string err = ReadBytes(folder / "err");
  EXPECT_EQ(Occurrences(err, "(EBUSY)"), 1) << err;
}

}  // namespace
}  // namespace ruvo::testing
