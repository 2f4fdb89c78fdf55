#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "platform/AtomicFile.h"
#include "platform/PortNames.h"
#include "platform/PosixSerialPort.h"
#include "platform/SerialPortByName.h"

namespace ruvo {
namespace {

using ruvo::testing::TempFolder;

std::int64_t WallMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::int64_t CpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// The ECR's end of the line: a pseudo-terminal master whose slave the port opens.
class FakeEcrLine {
 public:
  FakeEcrLine() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    const char* name = ::ptsname(master_);
    if (name != nullptr) slavePath_ = name;
  }
  ~FakeEcrLine() { Hangup(); }

  bool Ok() const { return master_ >= 0 && !slavePath_.empty(); }
  const std::string& SlavePath() const { return slavePath_; }

  void Send(const std::vector<std::uint8_t>& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  std::vector<std::uint8_t> Receive(std::size_t count, int timeoutMs = 2000) {
    std::vector<std::uint8_t> got;
    const std::int64_t deadline = WallMs() + timeoutMs;
    while (got.size() < count && WallMs() < deadline) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(deadline - WallMs())) <= 0) break;
      std::uint8_t chunk[256];
      const ssize_t n = ::read(master_, chunk, sizeof chunk);
      if (n <= 0) break;
      got.insert(got.end(), chunk, chunk + n);
    }
    return got;
  }

  // The device vanishes: an adapter pulled out, the ECR's end gone.
  void Hangup() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slavePath_;
};

std::vector<std::uint8_t> ReadFromPort(PosixSerialPort& port, std::size_t count) {
  std::vector<std::uint8_t> got;
  std::uint8_t buffer[64];
  for (int i = 0; i < 50 && got.size() < count; ++i) {
    const std::size_t n = port.Read(buffer, sizeof buffer, 100);
    got.insert(got.end(), buffer, buffer + n);
  }
  return got;
}

// Zero bytes, XON/XOFF, line ends and the high bytes of Windows-1250 text must all pass.
const std::vector<std::uint8_t> kAwkwardBytes = {0x02, 0x00, 0x11, 0x13, 0x96, 0xFF, '\r',
                                                 '\n', 0x00, 0x7F, 0x1B, 0x03, 0x00};

class SerialPortOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(line_.Ok());
    MapCom3To(line_.SlavePath());
  }
  void MapCom3To(const std::string& device) {
    ASSERT_TRUE(WriteFileAtomic(ini_, "[Configurari]\r\nPort=3\r\n[Porturi]\r\nCOM3=" + device +
                                          "\r\nCOM4=/dev/null\r\nCOM5=" + folder_.Path() +
                                          "/nothing-here\r\n"));
  }

  TempFolder folder_;
  std::string ini_ = folder_ / "XRUVODRV.INI";
  FakeEcrLine line_;
};

TEST_F(SerialPortOnPty, BytesTravelBothWaysUnchanged) {
  PosixSerialPort port(ini_);
  ASSERT_TRUE(port.Open("COM3"));
  EXPECT_TRUE(port.Connected());
  EXPECT_EQ(port.DevicePath(), line_.SlavePath());

  ASSERT_TRUE(port.Write(kAwkwardBytes.data(), kAwkwardBytes.size()));
  EXPECT_EQ(line_.Receive(kAwkwardBytes.size()), kAwkwardBytes);

  line_.Send(kAwkwardBytes);
  EXPECT_EQ(ReadFromPort(port, kAwkwardBytes.size()), kAwkwardBytes);

  // A whole request frame at the largest size the link sends.
  std::vector<std::uint8_t> frame(1000);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i * 7);
  ASSERT_TRUE(port.Write(frame.data(), frame.size()));
  EXPECT_EQ(line_.Receive(frame.size()), frame);

  port.Close();
  EXPECT_FALSE(port.Connected());
  EXPECT_FALSE(port.Write(frame.data(), 1));
}

TEST_F(SerialPortOnPty, PortHeldByAnotherOwnerDoesNotOpen) {
  PosixSerialPort first(ini_);
  ASSERT_TRUE(first.Open("COM3"));
  {
    PosixSerialPort second(ini_);
    EXPECT_FALSE(second.Open("COM3"));
    EXPECT_FALSE(second.Connected());
  }
  // The failed attempt must not have disturbed the holder's line.
  line_.Send(kAwkwardBytes);
  EXPECT_EQ(ReadFromPort(first, kAwkwardBytes.size()), kAwkwardBytes);

  first.Close();
  PosixSerialPort third(ini_);
  EXPECT_TRUE(third.Open("COM3"));
}

TEST_F(SerialPortOnPty, ExclusiveHoldOfAnotherProgramIsLeftAlone) {
  // Another program holds the line in exclusive mode only (no flock). Root could open it
  // anyway, and closing would then give up the other program's hold.
  const int other = ::open(line_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::ioctl(other, TIOCEXCL), 0);
  {
    PosixSerialPort port(ini_);
    EXPECT_FALSE(port.Open("COM3"));
    EXPECT_FALSE(port.Connected());
  }
  int exclusive = 0;
  ASSERT_EQ(::ioctl(other, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 1);
  ASSERT_EQ(::ioctl(other, TIOCNXCL), 0);
  ::close(other);

  PosixSerialPort port(ini_);
  EXPECT_TRUE(port.Open("COM3"));
}

TEST_F(SerialPortOnPty, NamesThatAreNoPortOrNoTerminalFail) {
  PosixSerialPort port(ini_);
  for (const char* name :
       {"COM0", "COM17", "COM-3", "COMx", "COM", "com3", "COM03", " COM3", "COM3 ", ""}) {
    EXPECT_FALSE(port.Open(name)) << name;
    EXPECT_FALSE(port.Connected()) << name;
  }
  EXPECT_FALSE(port.Open("COM4")) << "/dev/null is no serial line";
  EXPECT_FALSE(port.Open("COM5")) << "missing device";
}

TEST(PortNames, MappingFallsBackToTtyS) {
  TempFolder folder;
  const std::string ini = folder / "XRUVODRV.INI";
  ASSERT_TRUE(WriteFileAtomic(ini, "[porturi]\nCOM1=/dev/ttyUSB0\ncom2 = /dev/ttyACM1\nCOM9=\n"));
  EXPECT_EQ(ResolvePortDevice(ini, "COM1"), "/dev/ttyUSB0");
  EXPECT_EQ(ResolvePortDevice(ini, "COM2"), "/dev/ttyACM1");
  EXPECT_EQ(ResolvePortDevice(ini, "COM9"), "/dev/ttyS8") << "an empty entry maps nothing";
  EXPECT_EQ(ResolvePortDevice(ini, "COM16"), "/dev/ttyS15");
  EXPECT_EQ(ResolvePortDevice(folder / "missing.ini", "COM1"), "/dev/ttyS0");
  EXPECT_EQ(ResolvePortDevice(ini, "COM17"), std::nullopt);
  EXPECT_EQ(ParsePortNumber("COM10"), 10);
  EXPECT_EQ(ParsePortNumber("COM1x"), std::nullopt);
  EXPECT_EQ(ParsePortNumber("COM-1"), std::nullopt);
  EXPECT_EQ(ParsePortNumber("COM100"), std::nullopt);
}

// Writes text over the file in place (same inode), as an editor that does not replace it.
void WriteInPlace(const std::string& path, const std::string& text, time_t modifiedAt = 0) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  ::close(fd);
  if (modifiedAt != 0) {
    const timespec times[2] = {{modifiedAt, 0}, {modifiedAt, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }
}

// The mapping is read again only when the file has changed, so every kind of edit must
// show: in place with the same length, twice within one tick of the file clock, a link.
TEST(PortNames, EveryEditOfTheMappingAppliesAtTheNextOpen) {
  TempFolder folder;
  const std::string ini = folder / "XRUVODRV.INI";
  const time_t now = ::time(nullptr);
  WriteInPlace(ini, "[Porturi]\r\nCOM1=/dev/ttyUSB0\r\n", now - 100);
  EXPECT_EQ(ResolvePortDevice(ini, "COM1"), "/dev/ttyUSB0");
  EXPECT_EQ(ResolvePortDevice(ini, "COM1"), "/dev/ttyUSB0");
  WriteInPlace(ini, "[Porturi]\r\nCOM1=/dev/ttyUSB1\r\n", now - 50);
  EXPECT_EQ(ResolvePortDevice(ini, "COM1"), "/dev/ttyUSB1");
  WriteInPlace(ini, "[Porturi]\r\nCOM1=/dev/ttyUSB2\r\n");
  EXPECT_EQ(ResolvePortDevice(ini, "COM1"), "/dev/ttyUSB2");
  WriteInPlace(ini, "[Porturi]\r\nCOM1=/dev/ttyUSB3\r\n");
  EXPECT_EQ(ResolvePortDevice(ini, "COM1"), "/dev/ttyUSB3");

  const std::string other = folder / "other.ini";
  WriteInPlace(other, "[Porturi]\r\nCOM1=/dev/ttyACM0\r\n", now - 100);
  EXPECT_EQ(ResolvePortDevice(other, "COM1"), "/dev/ttyACM0");
  EXPECT_EQ(ResolvePortDevice(ini, "COM1"), "/dev/ttyUSB3");

  ASSERT_EQ(::unlink(ini.c_str()), 0);
  ASSERT_EQ(::symlink(other.c_str(), ini.c_str()), 0);
  EXPECT_EQ(ResolvePortDevice(ini, "COM1"), "/dev/ttyS0") << "a linked settings file is not read";
}

TEST_F(SerialPortOnPty, ReadWithNothingArrivingWaitsItsTimeOut) {
  PosixSerialPort port(ini_);
  ASSERT_TRUE(port.Open("COM3"));
  std::uint8_t buffer[16];
  const std::int64_t start = WallMs();
  EXPECT_EQ(port.Read(buffer, sizeof buffer, 200), 0u);
  const std::int64_t elapsed = WallMs() - start;
  EXPECT_GE(elapsed, 195);
  EXPECT_LT(elapsed, 3000);
}

TEST_F(SerialPortOnPty, VanishedDeviceIsSilenceWithoutSpinningAndCanBeReopened) {
  auto port = std::make_unique<PosixSerialPort>(ini_);
  ASSERT_TRUE(port->Open("COM3"));

  // The device disappears in the middle of a read.
  std::thread pull([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    line_.Hangup();
  });
  std::uint8_t buffer[16];
  const std::int64_t cpuStart = CpuMs();
  const std::int64_t start = WallMs();
  EXPECT_EQ(port->Read(buffer, sizeof buffer, 600), 0u);
  pull.join();
  // Later reads on the dead line also just wait.
  EXPECT_EQ(port->Read(buffer, sizeof buffer, 300), 0u);
  const std::int64_t elapsed = WallMs() - start;
  const std::int64_t cpu = CpuMs() - cpuStart;
  EXPECT_GE(elapsed, 890);
  EXPECT_LT(cpu, 200) << "a read on a vanished device must sleep, not spin";

  const std::uint8_t probe[] = {0x01, 0x00};
  EXPECT_FALSE(port->Write(probe, sizeof probe));
  port.reset();

  FakeEcrLine replugged;
  ASSERT_TRUE(replugged.Ok());
  MapCom3To(replugged.SlavePath());
  PosixSerialPort again(ini_);
  ASSERT_TRUE(again.Open("COM3"));
  ASSERT_TRUE(again.Write(probe, sizeof probe));
  EXPECT_EQ(replugged.Receive(sizeof probe), std::vector<std::uint8_t>(probe, probe + 2));
}

TEST_F(SerialPortOnPty, WriteGivesUpWhenTheLineTakesNothingMore) {
  PosixSerialPort port(ini_);
  ASSERT_TRUE(port.Open("COM3"));
  // Nobody reads the other end, so the line fills up; one-byte writes keep the deadline at
  // 1100 ms so the failing write is quick.
  const std::uint8_t byte = 0x55;
  std::int64_t failedAfterMs = -1;
  std::int64_t cpuDuringFailure = -1;
  for (int i = 0; i < 1000000 && failedAfterMs < 0; ++i) {
    const std::int64_t cpuStart = CpuMs();
    const std::int64_t start = WallMs();
    if (!port.Write(&byte, 1)) {
      failedAfterMs = WallMs() - start;
      cpuDuringFailure = CpuMs() - cpuStart;
    }
  }
  ASSERT_GE(failedAfterMs, 0) << "the line never filled up";
  EXPECT_GE(failedAfterMs, PosixSerialPort::WriteTimeoutMs(1) - 5);
  EXPECT_LT(failedAfterMs, 5000);
  EXPECT_LT(cpuDuringFailure, 200) << "waiting for room must not spin";
}

TEST(SerialPortFactory, MakesAClosedPort) {
  std::unique_ptr<ISerialPort> port = MakeSerialPort("/nonexistent/XRUVODRV.INI");
  ASSERT_NE(port, nullptr);
  EXPECT_FALSE(port->Connected());
  std::uint8_t buffer[4];
  EXPECT_EQ(port->Read(buffer, sizeof buffer, 0), 0u);
  EXPECT_FALSE(port->Write(buffer, sizeof buffer));
  EXPECT_EQ(PosixSerialPort::WriteTimeoutMs(10), 2000);
}

}  // namespace
}  // namespace ruvo
