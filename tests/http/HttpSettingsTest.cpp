// The server's settings and listen address: what a till's XRUVODRV.INI may say.
#include <gtest/gtest.h>

#include "http/HttpSettings.h"
#include "platform/Files.h"
#include "platform/IniFile.h"

namespace ruvo::http {
namespace {

TEST(ListenAddressTest, TakesIpv4Ipv6AndSocketPathsAndNothingElse) {
  const auto v4 = ParseListenAddress("127.0.0.1:8765");
  ASSERT_TRUE(v4);
  EXPECT_FALSE(v4->unixSocket);
  EXPECT_EQ(v4->host, "127.0.0.1");
  EXPECT_EQ(v4->port, 8765);
  EXPECT_TRUE(v4->Loopback());
  EXPECT_EQ(v4->HostHeader(), "127.0.0.1:8765");

  const auto v6 = ParseListenAddress("[::1]:80");
  ASSERT_TRUE(v6);
  EXPECT_TRUE(v6->Ipv6());
  EXPECT_TRUE(v6->Loopback());
  EXPECT_EQ(v6->HostHeader(), "[::1]:80");

  const auto lan = ParseListenAddress("192.168.1.20:8765");
  ASSERT_TRUE(lan);
  EXPECT_FALSE(lan->Loopback());

  for (const std::string text : {"/run/ruvo/http.sock", "unix:/run/ruvo/http.sock"}) {
    const auto socket = ParseListenAddress(text);
    ASSERT_TRUE(socket) << text;
    EXPECT_TRUE(socket->unixSocket);
    EXPECT_EQ(socket->path, "/run/ruvo/http.sock");
    EXPECT_EQ(socket->HostHeader(), "localhost");
  }

  // Names are not looked up, ports are 1..65535, a socket path fits sockaddr_un.
  for (const std::string& bad :
       std::vector<std::string>{"", "localhost:8765", "127.0.0.1", "127.0.0.1:", "127.0.0.1:0",
                                "127.0.0.1:65536", "127.0.0.1:80a",
                                "127.0.0.1:" + std::string(30, '9'), "::1:8765", "[::1]",
                                "[nonsense]:80", "relative/http.sock",
                                "/" + std::string(107, 'x')}) {
    EXPECT_FALSE(ParseListenAddress(bad)) << bad;
  }
}

TEST(HttpSettingsTest, OffByDefaultAndReadFromConfigurari) {
  IniFile empty;
  const HttpSettings defaults = ReadHttpSettings(empty);
  EXPECT_FALSE(defaults.enabled);
  EXPECT_EQ(defaults.address, "127.0.0.1:8765");
  EXPECT_EQ(defaults.keepDays, 7);
  EXPECT_TRUE(defaults.corsOrigins.empty());

  IniFile ini;
  ini.Parse(
      "[Configurari]\r\nServerHttp=DA\r\nAdresaHttp=/tmp/x.sock\r\n"
      "OriginiHttp=http://localhost:3000, https://till.example\r\n"
      "GazdeHttp=till1 till1.local\r\nZilePastrareHttp=30\r\nAsteptareHttp=10\r\n"
      "CertificatHttp=/etc/ssl/till.crt\r\nCheieHttp=till.key\r\n");
  const HttpSettings set = ReadHttpSettings(ini);
  EXPECT_TRUE(set.enabled);
  EXPECT_EQ(set.address, "/tmp/x.sock");
  EXPECT_EQ(set.corsOrigins,
            (std::vector<std::string>{"http://localhost:3000", "https://till.example"}));
  EXPECT_EQ(set.extraHosts, (std::vector<std::string>{"till1", "till1.local"}));
  EXPECT_EQ(set.keepDays, 30);
  EXPECT_EQ(set.defaultWaitSeconds, 10);
  EXPECT_EQ(set.certificateFile, "/etc/ssl/till.crt");
  EXPECT_EQ(set.keyFile, "till.key");

  // Only "DA" turns it on; values out of range keep the defaults.
  IniFile odd;
  odd.Parse("[Configurari]\r\nServerHttp=da\r\nZilePastrareHttp=0\r\nAsteptareHttp=600\r\n");
  const HttpSettings kept = ReadHttpSettings(odd);
  EXPECT_FALSE(kept.enabled);
  EXPECT_EQ(kept.keepDays, 7);
  EXPECT_EQ(kept.defaultWaitSeconds, 5);

  // Numbers too large for any integer keep the defaults too.
  const std::string huge(30, '9');
  IniFile overflow;
  overflow.Parse("[Configurari]\r\nZilePastrareHttp=" + huge + "\r\nAsteptareHttp=" + huge +
                 "\r\nAdresaHttp=127.0.0.1:" + huge + "\r\n");
  const HttpSettings unchanged = ReadHttpSettings(overflow);
  EXPECT_EQ(unchanged.keepDays, 7);
  EXPECT_EQ(unchanged.defaultWaitSeconds, 5);
  EXPECT_FALSE(ParseListenAddress(unchanged.address));
}

// The sample settings file shows every key commented out with its default: taken in as
// they stand, they change nothing.
TEST(HttpSettingsTest, TheSampleShowsEveryKeyWithItsDefault) {
  const auto sample = ReadLines(std::string(RUVO_SOURCE_DIR) + "/examples/XRUVODRV.INI");
  ASSERT_TRUE(sample);
  std::string uncommented;
  std::vector<std::string> keys;
  for (const std::string& line : *sample) {
    const std::size_t equals = line.find("Http=");
    if (line.rfind(";", 0) == 0 && equals != std::string::npos) {
      keys.push_back(line.substr(1, equals + 4 - 1));
      uncommented += line.substr(1) + "\r\n";
    } else {
      uncommented += line + "\r\n";
    }
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"ServerHttp", "AdresaHttp", "GazdeHttp", "OriginiHttp",
                                            "ZilePastrareHttp", "AsteptareHttp", "CertificatHttp",
                                            "CheieHttp"}));
  IniFile ini;
  ini.Parse(uncommented);
  const HttpSettings read = ReadHttpSettings(ini);
  const HttpSettings defaults;
  EXPECT_EQ(read.enabled, defaults.enabled);
  EXPECT_EQ(read.address, defaults.address);
  EXPECT_EQ(read.extraHosts, defaults.extraHosts);
  EXPECT_EQ(read.corsOrigins, defaults.corsOrigins);
  EXPECT_EQ(read.keepDays, defaults.keepDays);
  EXPECT_EQ(read.defaultWaitSeconds, defaults.defaultWaitSeconds);
  EXPECT_EQ(read.certificateFile, defaults.certificateFile);
  EXPECT_EQ(read.keyFile, defaults.keyFile);
}

}  // namespace
}  // namespace ruvo::http
