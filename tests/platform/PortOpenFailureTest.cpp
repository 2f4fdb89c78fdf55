// A port that does not open says why: the device is missing, the user may not open it, it
// is no serial port, or another program holds it (and which one).
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "platform/AtomicFile.h"
#include "platform/PosixSerialPort.h"
#include "platform/TempFolder.h"

namespace ruvo::testing {
namespace {

// A pseudo-terminal: its slave stands for the ECR's serial device.
class PtyDevice {
 public:
  PtyDevice() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    const char* name = ::ptsname(master_);
    if (name != nullptr) path_ = name;
  }
  ~PtyDevice() {
    if (master_ >= 0) ::close(master_);
  }
  const std::string& Path() const { return path_; }

 private:
  int master_ = -1;
  std::string path_;
};

// Kills and reaps a forked child on every way out of a test, failed assertions included.
class ChildGuard {
 public:
  explicit ChildGuard(pid_t pid) : pid_(pid) {}
  ~ChildGuard() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  ChildGuard(const ChildGuard&) = delete;
  ChildGuard& operator=(const ChildGuard&) = delete;

 private:
  pid_t pid_;
};

class PortOpenFailures : public ::testing::Test {
 protected:
  void MapCom1To(const std::string& device) {
    ASSERT_TRUE(WriteFileAtomic(ini_, "[Porturi]\r\nCOM1=" + device + "\r\n"));
  }
  std::optional<PortOpenFailure> OpenCom1() {
    PosixSerialPort port(ini_);
    if (port.Open("COM1")) return std::nullopt;
    return port.OpenFailure();
  }

  TempFolder folder_;
  std::string ini_ = folder_ / "XRUVODRV.INI";
};

TEST_F(PortOpenFailures, AMissingDeviceOrOneThatIsNoTerminalSaySo) {
  MapCom1To(folder_ / "ttyUSB7");
  std::optional<PortOpenFailure> failure = OpenCom1();
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->error, ENOENT);
  EXPECT_EQ(failure->device, folder_ / "ttyUSB7");
  EXPECT_NE(failure->ForLog().find("COM1 (" + folder_ / "ttyUSB7" + ") does not exist (ENOENT)"),
            std::string::npos);
  EXPECT_NE(failure->ForOperator().find("nu exista (ENOENT)"), std::string::npos);

  ASSERT_TRUE(WriteFileAtomic(folder_ / "ttyUSB7", "not a device"));
  failure = OpenCom1();
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->error, ENOTTY);
  EXPECT_NE(failure->ForLog().find("is not a serial port (ENOTTY)"), std::string::npos);
}

TEST_F(PortOpenFailures, AStablePathThroughALinkOpensAndASuccessClearsTheReason) {
  PtyDevice device;
  ASSERT_FALSE(device.Path().empty());
  // /dev/serial/by-id/... are links like this one.
  const std::string byId = folder_ / "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
  ASSERT_EQ(::symlink(device.Path().c_str(), byId.c_str()), 0);
  MapCom1To(byId);
  PosixSerialPort port(ini_);
  ASSERT_FALSE(port.Open("COM2"));  // no entry: /dev/ttyS1, absent or not ours
  ASSERT_TRUE(port.OpenFailure().has_value());
  ASSERT_TRUE(port.Open("COM1"));
  EXPECT_FALSE(port.OpenFailure().has_value());
}

TEST_F(PortOpenFailures, ADeviceTheUserMayNotOpenNamesTheDialoutGroup) {
  const std::string device = folder_ / "ttyS9";
  ASSERT_TRUE(WriteFileAtomic(device, ""));
  ASSERT_EQ(::chmod(device.c_str(), 0), 0);
  ASSERT_EQ(::chmod(folder_.Path().c_str(), 0755), 0);
  MapCom1To(device);
  ASSERT_EQ(::chmod(ini_.c_str(), 0644), 0);

  // Root opens anything: the attempt is made by a child that has dropped to "nobody".
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(pipeFds[0]);
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    PosixSerialPort port(ini_);
    int error = 0;
    if (!port.Open("COM1") && port.OpenFailure()) error = port.OpenFailure()->error;
    const bool named =
        port.OpenFailure() && port.OpenFailure()->ForLog().find("dialout") != std::string::npos;
    const int answer[2] = {error, named ? 1 : 0};
    static_cast<void>(::write(pipeFds[1], answer, sizeof answer));
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  int answer[2] = {-1, 0};
  const ssize_t got = ::read(pipeFds[0], answer, sizeof answer);
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0) << "the child could not drop its privileges";
  ASSERT_EQ(got, static_cast<ssize_t>(sizeof answer));
  EXPECT_EQ(answer[0], EACCES);
  EXPECT_EQ(answer[1], 1);
}

TEST_F(PortOpenFailures, ADeviceHeldByAnotherProgramNamesThatProgram) {
  PtyDevice device;
  ASSERT_FALSE(device.Path().empty());
  MapCom1To(device.Path());

  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    // What a terminal program does with the port: open it, lock it, keep it.
    const int fd = ::open(device.Path().c_str(), O_RDWR | O_NOCTTY);
    const bool held = fd >= 0 && ::flock(fd, LOCK_EX) == 0 && ::ioctl(fd, TIOCEXCL) == 0;
    const char answer = held ? 'y' : 'n';
    static_cast<void>(::write(ready[1], &answer, 1));
    for (;;) ::pause();
  }
  const ChildGuard guard(holder);
  ::close(ready[1]);
  char answer = 0;
  ASSERT_EQ(::read(ready[0], &answer, 1), 1);
  ::close(ready[0]);

  ASSERT_EQ(answer, 'y');
  const std::optional<PortOpenFailure> failure = OpenCom1();
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->error, EBUSY);
  EXPECT_EQ(failure->holder.rfind("pid " + std::to_string(holder) + " (", 0), 0u)
      << failure->holder;
  EXPECT_NE(failure->ForLog().find("is held by another program (EBUSY): pid "), std::string::npos);
  EXPECT_NE(failure->ForOperator().find("este ocupat de alt program (EBUSY): pid "),
            std::string::npos);
}

// The service's device policy and the device's permissions are mended in different places:
// each is told with its own step.
TEST(PortOpenFailureText, DevicePolicyPermissionsAndGroupEachNameTheirMend) {
  const PortOpenFailure policy{"COM1", "/dev/ttyUSB0", EPERM, "", "", false};
  EXPECT_NE(policy.ForLog().find("refused by the service's device policy (EPERM)"),
            std::string::npos)
      << policy.ForLog();
  EXPECT_NE(policy.ForLog().find("systemctl restart ruvo-drv"), std::string::npos);
  EXPECT_NE(policy.ForLog().find("DeviceAllow=/dev/ttyUSB0 rw"), std::string::npos);
  EXPECT_EQ(policy.ForLog().find("dialout"), std::string::npos);
  EXPECT_NE(policy.ForOperator().find("politica de dispozitive a serviciului (EPERM)"),
            std::string::npos);

  const PortOpenFailure group{"COM1", "/dev/ttyUSB0", EACCES, "", "root:dialout 0660", true};
  EXPECT_NE(group.ForLog().find("the device is root:dialout 0660: add the user to the group "
                                "dialout (adduser USER dialout)"),
            std::string::npos)
      << group.ForLog();
  EXPECT_NE(group.ForOperator().find("adaugat in grupul dialout"), std::string::npos);

  // A group that may not read (a terminal root opened), or root's: joining it is no mend.
  for (const PortOpenFailure& mode :
       {PortOpenFailure{"COM1", "/dev/pts/3", EACCES, "", "root:tty 0620", false},
        PortOpenFailure{"COM1", "/dev/pts/3", EACCES, "", "root:root 0600", false}}) {
    EXPECT_NE(mode.ForLog().find("the device is " + mode.access +
                                 ", closed to its group: give it the group dialout and mode 0660"),
              std::string::npos)
        << mode.ForLog();
    EXPECT_EQ(mode.ForLog().find("adduser"), std::string::npos);
    EXPECT_NE(mode.ForOperator().find("dispozitivul este " + mode.access), std::string::npos);
  }
}

TEST_F(PortOpenFailures, TheCheckBeforeAStartOpensAndClosesTheNamedDevice) {
  PtyDevice device;
  ASSERT_FALSE(device.Path().empty());
  EXPECT_FALSE(TryOpenPort("COM1", device.Path()).has_value());
  std::optional<PortOpenFailure> failure = TryOpenPort("COM1", folder_ / "ttyUSB0");
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->error, ENOENT);
  ASSERT_TRUE(WriteFileAtomic(folder_ / "ttyUSB0", ""));
  ASSERT_EQ(::chmod((folder_ / "ttyUSB0").c_str(), 0600), 0);
  failure = TryOpenPort("COM1", folder_ / "ttyUSB0");
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->error, ENOTTY);
  // The device's permissions are looked at for a refusal: its group may not open it.
  const PortOpenFailure refused = DescribePortOpenFailure("COM1", folder_ / "ttyUSB0", EACCES);
  EXPECT_NE(refused.access.find(" 0600"), std::string::npos) << refused.access;
  EXPECT_FALSE(refused.joinGroup);
  // A root-owned pseudo-terminal, as the simulator run by root leaves it.
  PtyDevice terminal;
  ASSERT_FALSE(terminal.Path().empty());
  ASSERT_EQ(::chmod(terminal.Path().c_str(), 0620), 0);
  EXPECT_FALSE(DescribePortOpenFailure("COM1", terminal.Path(), EACCES).joinGroup);
}

}  // namespace
}  // namespace ruvo::testing
