// The ECR behind a serial device server: ser2net, Debian's software one, started by the
// tests on loopback ports in front of the simulator's pseudo-terminal. The driver's bytes
// cross a real TCP connection (raw, or telnet with RFC 2217) and a real server.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "DeviceServer.h"
#include "DriverRig.h"
#include "E2eFiles.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/IniFile.h"
#include "platform/TcpSerialPort.h"

namespace ruvo::e2e {
namespace {

const std::vector<std::string> kTwoArticles = {"1;PAINE ALBA;BUC;1;1;250;100000",
                                               "1;LAPTE UHT;L;1;2;675;100000", "5;925;1"};
const std::vector<std::string> kReceiptOne = {"0 OK", "BON FISCAL NR. 0001"};

// A rig whose COM1 is a device server in front of its simulator.
class DeviceServerTest : public DriverTest {
 protected:
  explicit DeviceServerTest(RigOptions options = {}) : DriverTest(std::move(options)) {}

  void SetUp() override {
    if (!Ser2NetInstalled()) GTEST_SKIP() << kNoSer2Net;
    server = std::make_unique<DeviceServer>(rig.Ecr().Link());
  }
  void TearDown() override {
    DriverTest::TearDown();
    if (server) server->Kill();
  }

  // The simulator, ser2net in front of it, and the driver on entry (an address of server).
  bool StartOn(const std::string& entry) {
    rig.MapCom1(entry);
    if (!server->Start()) return false;
    return rig.Start();
  }

  std::unique_ptr<DeviceServer> server;
};

RigOptions Quiet() {
  // No connection check while idle: the test's own port takes turns with the driver's.
  RigOptions options;
  options.settings = {"FaraVerificareConexiune=DA"};
  return options;
}

class QuietDriverTest : public DeviceServerTest {
 protected:
  QuietDriverTest() : DeviceServerTest(Quiet()) {}
};

// The driver starts and waits for its ECR, which it cannot reach.
class UnreachableServerTest : public DeviceServerTest {
 protected:
  void SetUp() override {
    DeviceServerTest::SetUp();
    rig.AwaitConnected(false);
  }
};

TEST_F(DeviceServerTest, ReceiptsAndAReportThroughARawTcpPort) {
  ASSERT_TRUE(StartOn(server->RawUrl())) << rig.DriverMessages() << server->Messages();
  EXPECT_EQ(rig.Run("ONLINE.TXT", kTwoArticles), kReceiptOne);
  EXPECT_EQ(rig.Run("ONLINE.TXT", {"15"}), std::vector<std::string>{"0 OK"});
  const std::string paper = rig.Ecr().Paper();
  EXPECT_EQ(CountOf(paper, "LAPTE UHT"), 1) << paper;
  EXPECT_NE(paper.find("RAPORT FISCAL Z"), std::string::npos) << paper;
  EXPECT_EQ(rig.Status("ConectatLaCasa"), "DA");
}

TEST_F(DeviceServerTest, ReceiptsThroughRfc2217) {
  ASSERT_TRUE(StartOn(server->Rfc2217Url())) << rig.DriverMessages() << server->Messages();
  EXPECT_EQ(rig.Run("ONLINE.TXT", kTwoArticles), kReceiptOne);
  // A sale of many lines: every frame and answer crosses the telnet layer.
  std::vector<std::string> longSale;
  for (int k = 1; k <= 20; ++k)
    longSale.push_back("1;ARTICOL " + std::to_string(k) + ";BUC;1;1;100;100000");
  longSale.push_back("5;2000;1");
  EXPECT_EQ(rig.Run("ONLINE.TXT", longSale),
            (std::vector<std::string>{"0 OK", "BON FISCAL NR. 0002"}));
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "ARTICOL 20"), 1) << rig.Ecr().Paper();
}

TEST_F(DeviceServerTest, AnIpv6AddressInBrackets) {
  ASSERT_TRUE(server->Start()) << server->Messages();
  // ser2net listens on 127.0.0.1 here; a proxy on ::1 stands in front of it.
  StallingProxy proxy(server->RawPort(), true);
  if (proxy.Port() == 0) GTEST_SKIP() << "this machine has no IPv6 loopback";
  rig.MapCom1(proxy.Url("tcp"));
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  EXPECT_EQ(rig.Run("ONLINE.TXT", kTwoArticles), kReceiptOne);
}

// The line as ser2net set it on the pseudo-terminal, read while the port is open.
speed_t LineSpeed(const std::string& device, tcflag_t& cflag) {
  const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return 0;
  termios tio{};
  const bool read = tcgetattr(fd, &tio) == 0;
  close(fd);
  cflag = tio.c_cflag;
  return read ? cfgetospeed(&tio) : 0;
}

TEST_F(QuietDriverTest, Rfc2217SetsTheLineTheEcrNeedsOnTheServersDevice) {
  ASSERT_TRUE(StartOn(server->Rfc2217Url())) << rig.DriverMessages() << server->Messages();
  // A sale through the server; then the driver, done with its file, lets the port go.
  EXPECT_EQ(rig.Run("ONLINE.TXT", kTwoArticles), kReceiptOne);
  IniFile ini;
  ini.WriteString("Porturi", "COM1", server->Rfc2217Url());
  ini.WriteString("Porturi", "COM2", server->RawUrl());
  const std::string settings = rig.PathOf("LINE.INI");
  ASSERT_TRUE(ini.SaveAs(settings));
  SystemClock clock;
  NullEventPump pump;
  {
    TcpSerialPort port(settings, clock, pump);
    ASSERT_TRUE(port.Open("COM1")) << port.OpenFailure()->ForLog() << server->Messages();
    EXPECT_EQ(port.ConfirmedBaudRate(), 115200u);
    tcflag_t cflag = 0;
    // The accepter opens the device at 9600 bit/s: only the driver's settings make it 115200
    // (ser2net answers the setting a moment before the device has it).
    EXPECT_TRUE(WaitUntil([&] { return LineSpeed(rig.Ecr().Link(), cflag) == B115200; }, 2000))
        << LineSpeed(rig.Ecr().Link(), cflag);
    EXPECT_EQ(cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(cflag & (PARENB | CSTOPB), 0u);
    EXPECT_NE(cflag & CRTSCTS, 0u) << "hardware flow control, as on a local port";
  }
  {
    // A raw port leaves the line to the box's own settings: nothing is negotiated.
    TcpSerialPort port(settings, clock, pump);
    ASSERT_TRUE(port.Open("COM2")) << port.OpenFailure()->ForLog();
    EXPECT_EQ(port.ConfirmedBaudRate(), std::nullopt);
  }
}

TEST_F(DeviceServerTest, ServerKilledMidReceiptAndRestartedPrintsTheSaleOnce) {
  ASSERT_TRUE(StartOn(server->Rfc2217Url())) << rig.DriverMessages() << server->Messages();
  // The payment runs in the ECR, and its answer never leaves the server: killed there.
  ASSERT_TRUE(rig.Ecr().Control("lose 3007 after"));
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText(kTwoArticles)));
  ASSERT_TRUE(
      WaitUntil([&] { return rig.Ecr().Messages().find("xruvo_sim: lost ") != std::string::npos; },
                DriverRig::kAnswerMs))
      << rig.DriverMessages();
  ASSERT_TRUE(server->Kill());
  ASSERT_TRUE(server->Start()) << server->Messages();

  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT", 20000);
  ASSERT_TRUE(response) << rig.DriverMessages();
  EXPECT_EQ(ResponseLines(*response), kReceiptOne) << rig.DriverMessages();
  const std::string paper = rig.Ecr().Paper();
  EXPECT_EQ(CountOf(paper, "LAPTE UHT"), 1) << paper;
  EXPECT_EQ(CountOf(paper, "BON FISCAL NR. 0001"), 1) << paper;
  // And the next sale goes through the restarted server.
  EXPECT_EQ(rig.Run("ONLINE.TXT", kTwoArticles),
            (std::vector<std::string>{"0 OK", "BON FISCAL NR. 0002"}));
}

TEST_F(DeviceServerTest, ANetworkThatStallsMidReceiptKeepsTheSaleExactlyOnce) {
  ASSERT_TRUE(server->Start()) << server->Messages();
  StallingProxy proxy(server->TelnetPort());
  ASSERT_NE(proxy.Port(), 0);
  rig.MapCom1(proxy.Url("rfc2217"));
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  ASSERT_TRUE(rig.Ecr().Control("delay 100"));
  std::vector<std::string> sale;
  for (int k = 1; k <= 6; ++k)
    sale.push_back("1;ARTICOL " + std::to_string(k) + ";BUC;1;1;100;100000");
  sale.push_back("5;600;1");
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText(sale)));
  ASSERT_TRUE(WaitUntil([&] { return rig.Ecr().Paper().find("ARTICOL 2") != std::string::npos; },
                        DriverRig::kAnswerMs));
  proxy.Stall();
  // The link's 5-second answer time-out notices; then the network comes back.
  std::this_thread::sleep_for(std::chrono::milliseconds(6500));
  ASSERT_TRUE(rig.Ecr().Control("delay 0"));
  proxy.Resume();

  const std::optional<std::string> response = rig.AwaitResponse("ONLINE.TXT", 30000);
  ASSERT_TRUE(response) << rig.DriverMessages();
  const std::vector<std::string> lines = ResponseLines(*response);
  const std::string paper = rig.Ecr().Paper();
  ASSERT_FALSE(lines.empty());
  if (lines[0] == "0 OK") {
    // Answered as sold: the receipt is whole on paper, once, with that number.
    ASSERT_EQ(lines.size(), 2u) << *response;
    EXPECT_EQ(CountOf(paper, lines[1]), 1) << paper;
    EXPECT_EQ(CountOf(paper, "ARTICOL 6"), 1) << paper;
  } else {
    // Answered as failed: no fiscal receipt holds the sale.
    EXPECT_EQ(lines[0], "1 ERROR") << *response;
    EXPECT_EQ(CountOf(paper, "BON FISCAL NR."), 0) << paper;
  }
  EXPECT_LE(CountOf(paper, "ARTICOL 1"), 2) << "printed again only after a cancel\n" << paper;
  // The line works again for the next sale.
  const std::vector<std::string> next = rig.Run("ONLINE.TXT", kTwoArticles);
  ASSERT_FALSE(next.empty());
  EXPECT_EQ(next[0], "0 OK") << rig.DriverMessages();
}

TEST_F(UnreachableServerTest, AWrongAddressIsNamedWithItsReason) {
  const std::uint16_t nobody = FreeLoopbackPort();
  // The driver starts and waits for its ECR, saying why it cannot reach it.
  ASSERT_TRUE(StartOn("tcp://127.0.0.1:" + std::to_string(nobody))) << rig.DriverMessages();
  EXPECT_TRUE(
      WaitUntil([&] { return rig.DriverMessages().find("ECONNREFUSED") != std::string::npos; },
                DriverRig::kAnswerMs))
      << rig.DriverMessages();
  EXPECT_NE(rig.DriverMessages().find("COM1 (tcp://127.0.0.1:" + std::to_string(nobody) +
                                      "): the device server refused the connection"),
            std::string::npos)
      << rig.DriverMessages();
  EXPECT_EQ(rig.Status("ConectatLaCasa"), "NU");
  const std::string refused =
      "Portul COM1 (tcp://127.0.0.1:" + std::to_string(nobody) + "): serverul refuza conexiunea";
  EXPECT_TRUE(
      WaitUntil([&] { return rig.Status("ProblemaPort") == refused; }, DriverRig::kAnswerMs))
      << rig.Status("ProblemaPort");
  ChildProcess ctl;
  ASSERT_TRUE(ctl.Start({RUVO_DRV_PATH, "ctl", "--instance", rig.Instance(), "status"},
                        rig.PathOf("ctl.out"), rig.PathOf("ctl.err"), rig.Environment()));
  ctl.Wait(DriverRig::kAnswerMs);
  EXPECT_NE(ReadBytes(rig.PathOf("ctl.out")).find("serverul refuza conexiunea"), std::string::npos)
      << ReadBytes(rig.PathOf("ctl.out")) << ReadBytes(rig.PathOf("ctl.err"));

  rig.MapCom1("tcp://no-such-host.invalid:4001");
  EXPECT_TRUE(WaitUntil(
      [&] { return rig.DriverMessages().find("the name was not found") != std::string::npos; },
      DriverRig::kAnswerMs))
      << rig.DriverMessages();
  rig.MapCom1("tcp://ecr-box");
  EXPECT_TRUE(WaitUntil(
      [&] { return rig.DriverMessages().find("is no network address") != std::string::npos; },
      DriverRig::kAnswerMs))
      << rig.DriverMessages();

  // Put right, the driver connects on its own and says so.
  rig.MapCom1(server->RawUrl());
  EXPECT_TRUE(WaitUntil([&] { return rig.Status("ConectatLaCasa") == "DA"; }, DriverRig::kAnswerMs))
      << rig.DriverMessages();
  EXPECT_NE(rig.DriverMessages().find("COM1 opens again"), std::string::npos);
  EXPECT_EQ(rig.Status("ProblemaPort"), "");
  EXPECT_EQ(rig.Run("ONLINE.TXT", kTwoArticles), kReceiptOne);
}

// A connection the server keeps: one that is not turned away at once (another program's,
// so without the driver's lock). -1 when none; refusal then says what the server said.
int HeldConnection(std::uint16_t port, std::string& refusal) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      refusal = "connect: " + std::string(strerror(errno));
      if (fd >= 0) close(fd);
      return -1;
    }
    // Turned away (the driver had the port that moment): the server says so and closes.
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 200) == 0) return fd;
    char said[200] = {};
    refusal =
        std::string(said,
                    static_cast<std::size_t>(std::max<ssize_t>(0, read(fd, said, sizeof said))));
    close(fd);
    // ser2net is busy a moment with each client it turns away: asking again at once
    // would keep it busy.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return -1;
}

TEST_F(UnreachableServerTest, AnotherClientOfTheServerHoldsThePort) {
  ASSERT_TRUE(StartOn(server->RawUrl())) << rig.DriverMessages();
  // Another program (a terminal, a second till) talks to the ECR through the server.
  std::string refusal;
  const int other = HeldConnection(server->RawPort(), refusal);
  ASSERT_GE(other, 0) << refusal << server->Messages();
  EXPECT_TRUE(WaitUntil(
      [&] {
        return rig.DriverMessages().find(
                   "another client holds the port (EBUSY): Port already in use") !=
               std::string::npos;
      },
      DriverRig::kAnswerMs))
      << rig.DriverMessages();
  EXPECT_TRUE(
      WaitUntil([&] { return rig.Status("ConectatLaCasa") == "NU"; }, DriverRig::kAnswerMs));
  close(other);
  EXPECT_TRUE(WaitUntil([&] { return rig.Status("ConectatLaCasa") == "DA"; }, DriverRig::kAnswerMs))
      << rig.DriverMessages();
  EXPECT_EQ(rig.Run("ONLINE.TXT", kTwoArticles), kReceiptOne);
}

TEST_F(DeviceServerTest, TwoDriversOnOneDeviceServerTakeTurnsAndNeverTalkAtOnce) {
  ASSERT_TRUE(StartOn(server->RawUrl())) << rig.DriverMessages();
  // A slow sale on the first driver; the second driver starts while it prints.
  ASSERT_TRUE(rig.Ecr().Control("delay 300"));
  std::vector<std::string> slow;
  for (int k = 1; k <= 8; ++k)
    slow.push_back("1;ARTICOL " + std::to_string(k) + ";BUC;1;1;100;100000");
  slow.push_back("5;800;1");
  ASSERT_TRUE(rig.Drop("ONLINE.TXT", ReceiptText(slow)));
  ASSERT_TRUE(WaitUntil([&] { return rig.Ecr().Paper().find("ARTICOL 1") != std::string::npos; },
                        DriverRig::kAnswerMs));
  DriverRig second;
  second.MapCom1(server->RawUrl());
  second.AwaitConnected(false);
  ASSERT_TRUE(second.Start()) << second.DriverMessages();
  ASSERT_EQ(second.Status("ConectatLaCasa"), "NU") << second.DriverMessages();
  // Its sale waits until the first lets the port go.
  ASSERT_TRUE(second.Drop("ONLINE.TXT", ReceiptText(kTwoArticles)));
  ASSERT_TRUE(rig.Ecr().Control("delay 0"));

  const std::optional<std::string> first = rig.AwaitResponse("ONLINE.TXT", 20000);
  const std::optional<std::string> other = second.AwaitResponse("ONLINE.TXT", 20000);
  ASSERT_TRUE(first) << rig.DriverMessages();
  ASSERT_TRUE(other) << second.DriverMessages();
  EXPECT_EQ(*first, "0 OK\r\nBON FISCAL NR. 0001\r\n");
  EXPECT_EQ(*other, "0 OK\r\nBON FISCAL NR. 0002\r\n");
  // One receipt after the other, each whole: the second driver's lines never came between.
  const std::string paper = rig.Ecr().Paper();
  const std::size_t firstEnd = paper.find("BON FISCAL NR. 0001");
  ASSERT_NE(firstEnd, std::string::npos) << paper;
  EXPECT_LT(paper.find("ARTICOL 8"), firstEnd) << paper;
  EXPECT_GT(paper.find("LAPTE UHT"), firstEnd) << paper;
  EXPECT_EQ(CountOf(paper, "LAPTE UHT"), 1) << paper;
  EXPECT_EQ(CountOf(paper, "ARTICOL 8"), 1) << paper;
  // While the first held it, the second was told why it could not have the port.
  EXPECT_NE(second.DriverMessages().find("another client holds the port (EBUSY): another driver "
                                         "on this machine"),
            std::string::npos)
      << second.DriverMessages();

  EXPECT_EQ(second.StopDriver(), 0);
  EXPECT_EQ(second.Ecr().Stop(), 0);
}

}  // namespace
}  // namespace ruvo::e2e
