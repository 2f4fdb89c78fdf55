// The ECR's line over the network: the port names, the telnet layer of RFC 2217, and the
// TCP port against small servers of the test's own on the loopback (ser2net itself is in
// tests/e2e/DeviceServerTest).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/NetworkAddress.h"
#include "platform/Rfc2217Session.h"
#include "platform/SerialPortByName.h"
#include "platform/TcpSerialPort.h"
#include "platform/TelnetCodec.h"

namespace ruvo {
namespace {

using ruvo::testing::TempFolder;

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> bytes;
  for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
  return bytes;
}

std::string Text(std::initializer_list<int> values) {
  std::string text;
  for (int v : values) text += static_cast<char>(v);
  return text;
}

TEST(NetworkAddress, TheFormsOfAnAddressAndWhatIsNone) {
  EXPECT_EQ(ParseNetworkAddress("tcp://192.168.1.20:4001"),
            (NetworkAddress{NetworkProtocol::RawTcp, "192.168.1.20", 4001}));
  EXPECT_EQ(ParseNetworkAddress("RFC2217://ecr-box.local:7000/"),
            (NetworkAddress{NetworkProtocol::Rfc2217, "ecr-box.local", 7000}));
  EXPECT_EQ(ParseNetworkAddress("rfc2217://[::1]:2217"),
            (NetworkAddress{NetworkProtocol::Rfc2217, "::1", 2217}));
  EXPECT_EQ(ParseNetworkAddress("tcp://[fe80::1%eth0]:1")->host, "fe80::1%eth0");
  EXPECT_EQ(ParseNetworkAddress("rfc2217://[::1]:2217")->Text(), "rfc2217://[::1]:2217");
  for (const char* bad :
       {"tcp://box", "tcp://:4001", "tcp://box:", "tcp://box:0", "tcp://box:65536", "tcp://box:+1",
        "tcp://box:4001/path", "tcp://::1:4001", "tcp://[::1]4001", "tcp://[box]:1", "tcp://b x:1",
        "udp://box:1", "/dev/ttyUSB0", ""}) {
    EXPECT_EQ(ParseNetworkAddress(bad), std::nullopt) << bad;
  }
  EXPECT_TRUE(NamesNetwork("Tcp://box"));
  EXPECT_FALSE(NamesNetwork("/dev/ttyS0"));
}

TEST(TelnetDecoder, DataCommandsAndSubnegotiationsCutAnywhere) {
  // IAC IAC is a data 0xFF; WILL BINARY a request; SB COM-PORT 101 with a doubled 0xFF in
  // its value; a NUL after CR is NVT padding until the server sends binary.
  const std::vector<std::uint8_t> stream =
      Bytes({0x02, 0xFF, 0xFF, 0x00, 0xFF, 0xFB, 0x00, 0xFF, 0xFA, 44,  101,
             0,    0xFF, 0xFF, 0xC2, 0x00, 0xFF, 0xF0, '\r', 0x00, 0x03});
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    TelnetDecoder decoder;
    std::vector<std::uint8_t> data;
    decoder.Feed(stream.data(), cut, data);
    decoder.Feed(stream.data() + cut, stream.size() - cut, data);
    EXPECT_EQ(data, Bytes({0x02, 0xFF, 0x00, '\r', 0x03})) << "cut at " << cut;
    EXPECT_EQ(decoder.TakeRequests(),
              (std::vector<TelnetRequest>{{telnet::kWill, telnet::kBinary}}));
    EXPECT_EQ(decoder.TakeSubnegotiations(),
              (std::vector<std::vector<std::uint8_t>>{Bytes({44, 101, 0, 0xFF, 0xC2, 0x00})}));
  }
  TelnetDecoder binary;
  binary.SetPeerBinary(true);
  std::vector<std::uint8_t> data;
  const std::vector<std::uint8_t> crNul = Bytes({'\r', 0x00});
  binary.Feed(crNul.data(), crNul.size(), data);
  EXPECT_EQ(data, crNul) << "in binary a NUL after CR is data";
}

TEST(TelnetCodec, DataGoesOutWithItsIacDoubled) {
  const std::vector<std::uint8_t> frame = Bytes({0x02, 0xFF, '\r', 0x03});
  EXPECT_EQ(TelnetEncodeData(frame.data(), frame.size(), true),
            Text({0x02, 0xFF, 0xFF, '\r', 0x03}));
  EXPECT_EQ(TelnetEncodeData(frame.data(), frame.size(), false),
            Text({0x02, 0xFF, 0xFF, '\r', 0x00, 0x03}));
}

// What ser2net sends to a new client of a telnet(rfc2217) accepter.
const std::string kSer2NetGreeting =
    Text({0xFF, 0xFB, 0x03, 0xFF, 0xFD, 0x03, 0xFF, 0xFB, 0x01, 0xFF, 0xFE,
          0x01, 0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x2C});

std::string Feed(Rfc2217Session& session, const std::string& bytes,
                 std::vector<std::uint8_t>& data) {
  return session.Receive(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), data);
}

TEST(Rfc2217Session, AgreesWithSer2NetAndSetsTheLine) {
  Rfc2217Session session;
  EXPECT_EQ(session.Greeting(), Text({0xFF, 0xFB, 44, 0xFF, 0xFB, 0, 0xFF, 0xFD, 0}));
  std::vector<std::uint8_t> data;
  // Go-ahead suppressed both ways; its echo refused (our frames must not come back); what
  // we asked for ourselves is not answered again.
  EXPECT_EQ(Feed(session, kSer2NetGreeting, data),
            Text({0xFF, 0xFD, 0x03, 0xFF, 0xFB, 0x03, 0xFF, 0xFE, 0x01}));
  EXPECT_TRUE(data.empty());
  EXPECT_TRUE(session.ComPortAccepted());
  // Asked again, what is agreed is not answered again (no loop of agreements); the echo is
  // refused again.
  EXPECT_EQ(Feed(session, kSer2NetGreeting, data), Text({0xFF, 0xFE, 0x01}));

  const std::string setup = session.LineSetup();
  EXPECT_NE(setup.find(Text({0xFF, 0xFA, 44, 1, 0x00, 0x01, 0xC2, 0x00, 0xFF, 0xF0})),
            std::string::npos)
      << "115200 bit/s";
  EXPECT_NE(setup.find(Text({0xFF, 0xFA, 44, 2, 8, 0xFF, 0xF0})), std::string::npos);
  EXPECT_NE(setup.find(Text({0xFF, 0xFA, 44, 5, 3, 0xFF, 0xF0})), std::string::npos) << "RTS/CTS";
  EXPECT_NE(setup.find(Text({0xFF, 0xFA, 44, 5, 8, 0xFF, 0xF0})), std::string::npos) << "DTR on";
  EXPECT_EQ(setup.rfind(Text({0xFF, 0xFA, 44, 12, 3, 0xFF, 0xF0})), setup.size() - 7)
      << "purge last";

  EXPECT_FALSE(session.LineConfirmed());
  Feed(session, Text({0xFF, 0xFA, 44,  107,  0x30, 0xFF, 0xF0, 0xFF, 0xFA, 44,  101,  0,
                      1,    0xC2, 0,   0xFF, 0xF0, 0xFF, 0xFA, 44,   102,  8,   0xFF, 0xF0,
                      0xFF, 0xFA, 44,  103,  1,    0xFF, 0xF0, 0xFF, 0xFA, 44,  104,  1,
                      0xFF, 0xF0, 'A', 0xFF, 0xFA, 44,   112,  3,    0xFF, 0xF0}),
       data);
  EXPECT_TRUE(session.LineConfirmed());
  EXPECT_EQ(session.ConfirmedBaudRate(), 115200u);
  EXPECT_EQ(session.ModemState(), 0x30);
  EXPECT_EQ(data, Bytes({'A'}));
  const std::vector<std::uint8_t> frame = Bytes({0x02, 0xFF, 0x03});
  EXPECT_EQ(session.Encode(frame.data(), frame.size()), Text({0x02, 0xFF, 0xFF, 0x03}));
}

TEST(Rfc2217Session, AServerWithoutTheOptionRefusesIt) {
  Rfc2217Session session;
  session.Greeting();
  std::vector<std::uint8_t> data;
  EXPECT_EQ(Feed(session, Text({0xFF, 0xFE, 44, 0xFF, 0xFD, 0x18}), data),
            Text({0xFF, 0xFC, 0x18}));
  EXPECT_TRUE(session.ComPortRefused());
  EXPECT_FALSE(session.ComPortAccepted());
}

// A server on a free loopback port: serve runs on each accepted connection, on a thread.
class LoopbackServer {
 public:
  explicit LoopbackServer(std::function<void(int)> serve) : serve_(std::move(serve)) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 4) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] {
      for (;;) {
        const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        serve_(fd);
        close(fd);
      }
    });
  }
  ~LoopbackServer() {
    shutdown(listener_, SHUT_RDWR);
    close(listener_);
    if (thread_.joinable()) thread_.join();
  }
  std::uint16_t Port() const { return port_; }

 private:
  std::function<void(int)> serve_;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::thread thread_;
};

class TcpPortTest : public ::testing::Test {
 protected:
  void Map(const std::string& entry) {
    ASSERT_TRUE(WriteFileAtomic(ini_, "[Porturi]\r\nCOM2=" + entry + "\r\n"));
  }
  std::string Url(std::uint16_t port) { return "tcp://127.0.0.1:" + std::to_string(port); }

  TempFolder folder_;
  std::string ini_ = folder_ / "XRUVODRV.INI";
  SystemClock clock_;
  NullEventPump pump_;
};

TEST_F(TcpPortTest, BytesCrossAsTheyAreAndADroppedConnectionIsASilentEcr) {
  LoopbackServer echo([](int fd) {
    std::uint8_t buffer[256];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n > 0) send(fd, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL);
    // ... and then the server goes.
  });
  Map(Url(echo.Port()));
  std::unique_ptr<ISerialPort> port = MakeSerialPort(ini_, clock_, pump_);
  ASSERT_TRUE(port->Open("COM2")) << port->OpenFailure()->ForLog();
  EXPECT_TRUE(port->Connected());
  EXPECT_EQ(port->ByteTimeUs(), 0) << "the network hands over whole pieces";
  const std::vector<std::uint8_t> awkward = Bytes({0x02, 0x00, 0xFF, 0x11, 0x13, 0x96, '\r', 0x03});
  ASSERT_TRUE(port->Write(awkward.data(), awkward.size()));
  std::vector<std::uint8_t> got(64);
  std::size_t count = 0;
  for (int k = 0; k < 20 && count < awkward.size(); ++k) {
    count += port->Read(got.data() + count, got.size() - count, 100);
  }
  got.resize(count);
  EXPECT_EQ(got, awkward);

  // Gone: a read waits its time out and gives nothing, a write fails; neither throws.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port->Read(got.data(), got.size(), 150), 0u);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(140));
  EXPECT_FALSE(port->Write(awkward.data(), awkward.size()));
  port->Close();
  EXPECT_FALSE(port->Connected());
}

TEST_F(TcpPortTest, EachFailureToConnectSaysWhyWithTheAddress) {
  // Refused: nothing listens there.
  std::uint16_t closedPort = 0;
  {
    LoopbackServer gone([](int) {});
    closedPort = gone.Port();
  }
  Map(Url(closedPort));
  TcpSerialPort port(ini_, clock_, pump_);
  EXPECT_FALSE(port.Open("COM2"));
  ASSERT_TRUE(port.OpenFailure());
  EXPECT_EQ(port.OpenFailure()->error, ECONNREFUSED);
  EXPECT_EQ(port.OpenFailure()->ForLog(),
            "COM2 (" + Url(closedPort) +
                "): the device server refused the connection (ECONNREFUSED): is it on, and is "
                "this its TCP port?");
  EXPECT_EQ(port.OpenFailure()->ForOperator(),
            "Portul COM2 (" + Url(closedPort) + "): serverul refuza conexiunea");

  Map("tcp://no-such-host.invalid:4001");
  EXPECT_FALSE(port.Open("COM2"));
  ASSERT_TRUE(port.OpenFailure());
  EXPECT_TRUE(port.OpenFailure()->error == ENOENT || port.OpenFailure()->error == EAGAIN)
      << port.OpenFailure()->ForLog();
  EXPECT_NE(port.OpenFailure()->ForLog().find("COM2 (tcp://no-such-host.invalid:4001): the name"),
            std::string::npos);

  Map("tcp://ecr-box");
  std::unique_ptr<ISerialPort> byName = MakeSerialPort(ini_, clock_, pump_);
  EXPECT_FALSE(byName->Open("COM2")) << "never taken for a device path";
  ASSERT_TRUE(byName->OpenFailure());
  EXPECT_EQ(byName->OpenFailure()->ForLog(),
            "COM2 (tcp://ecr-box) is no network address: write tcp://HOST:PORT or "
            "rfc2217://HOST:PORT (IPv6 as [ADDRESS]:PORT) in section Porturi of XRUVODRV.INI");
}

TEST_F(TcpPortTest, ASecondClientIsToldTheServersPortIsHeld) {
  // As ser2net turns away a client of a connection that already has one.
  LoopbackServer busy([](int fd) {
    const std::string said = "Port already in use\r\n";
    send(fd, said.data(), said.size(), MSG_NOSIGNAL);
  });
  Map(Url(busy.Port()));
  TcpSerialPort port(ini_, clock_, pump_);
  EXPECT_FALSE(port.Open("COM2"));
  ASSERT_TRUE(port.OpenFailure());
  EXPECT_EQ(port.OpenFailure()->error, EBUSY);
  EXPECT_EQ(port.OpenFailure()->ForLog(), "COM2 (" + Url(busy.Port()) +
                                              "): another client holds the port (EBUSY): Port "
                                              "already in use");
  EXPECT_FALSE(port.Connected());
}

TEST_F(TcpPortTest, OnlyOnePortOfThisMachineTalksToOneServerAtATime) {
  LoopbackServer quiet([](int fd) {
    std::uint8_t buffer[16];
    while (recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
  });
  Map(Url(quiet.Port()));
  TcpSerialPort first(ini_, clock_, pump_);
  ASSERT_TRUE(first.Open("COM2")) << first.OpenFailure()->ForLog();
  TcpSerialPort second(ini_, clock_, pump_);
  EXPECT_FALSE(second.Open("COM2"));
  ASSERT_TRUE(second.OpenFailure());
  EXPECT_EQ(second.OpenFailure()->ForLog(), "COM2 (" + Url(quiet.Port()) +
                                                "): another client holds the port (EBUSY): "
                                                "another driver on this machine");
  first.Close();
  EXPECT_TRUE(second.Open("COM2")) << second.OpenFailure()->ForLog();
}

TEST_F(TcpPortTest, AServerThatDoesNotSpeakRfc2217IsNamed) {
  LoopbackServer plainTelnet([](int fd) {
    const std::string refuse = Text({0xFF, 0xFE, 44});
    send(fd, refuse.data(), refuse.size(), MSG_NOSIGNAL);
    std::uint8_t buffer[64];
    while (recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
  });
  Map("rfc2217://127.0.0.1:" + std::to_string(plainTelnet.Port()));
  TcpSerialPort port(ini_, clock_, pump_);
  EXPECT_FALSE(port.Open("COM2"));
  ASSERT_TRUE(port.OpenFailure());
  EXPECT_EQ(port.OpenFailure()->error, EPROTONOSUPPORT) << port.OpenFailure()->ForLog();
}

}  // namespace
}  // namespace ruvo
