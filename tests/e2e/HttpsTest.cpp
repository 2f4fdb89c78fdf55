// HTTPS end to end: the driver bound to 127.0.0.2 (an address other than the loopback a
// till on the same machine uses, so the server speaks HTTPS only, while no byte leaves the
// machine), curl as the till. The self-signed certificate made at the first start, pinned
// by its public key or trusted as a CA file, kept across a restart, told by the log and by
// `ruvo_drv ctl status`; a certificate named in the settings; no plain HTTP there; a key
// others may read keeps the server off.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "CurlClient.h"
#include "DriverRig.h"
#include "E2eFiles.h"
#include "FreePort.h"
#include "http/AccessToken.h"
#include "http/TlsIdentity.h"
#include "support/ChildProcess.h"

namespace ruvo::e2e {
namespace {

using testing::ChildProcess;

const std::string kAddress = "127.0.0.2";

RigOptions WithHttps(int port) {
  RigOptions options;
  options.settings = {"ServerHttp=DA", "AdresaHttp=" + kAddress + ":" + std::to_string(port)};
  return options;
}

// The text after label on the line of text that holds it, to the line's end.
std::string After(const std::string& text, const std::string& label) {
  const std::size_t at = text.rfind(label);
  if (at == std::string::npos) return "";
  const std::size_t start = at + label.size();
  const std::size_t end = text.find_first_of(",\r\n", start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

class HttpsTest : public DriverTest {
 protected:
  HttpsTest() : HttpsTest(FreePort(kAddress)) {}
  explicit HttpsTest(int port) : DriverTest(WithHttps(port)), port_(port) {}

  void SetUp() override {
    if (::access(kCurl.c_str(), X_OK) != 0) GTEST_SKIP() << "curl is not installed";
    ASSERT_NE(port_, 0);
    ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
    token_ = ReadBytes(rig.PathOf(http::kTokenFileName));
    while (!token_.empty() && token_.back() == '\n') token_.pop_back();
  }

  std::string Url(const std::string& scheme, const std::string& path) const {
    return scheme + "://" + kAddress + ":" + std::to_string(port_) + path;
  }

  // The status over HTTPS with the extra curl options (how the till trusts the server).
  CurlReply Status(std::vector<std::string> trust) {
    trust.push_back(Url("https", "/v1/status"));
    return RunCurl(rig.Folder(), trust);
  }

  std::string CtlStatus() {
    ChildProcess ctl;
    if (!ctl.Start({RUVO_DRV_PATH, "ctl", "--instance", rig.Instance(), "status"},
                   rig.PathOf("ctl.out"), rig.PathOf("ctl.err"), rig.Environment())) {
      return "";
    }
    ctl.Wait(DriverRig::kAnswerMs);
    return ReadBytes(rig.PathOf("ctl.out"));
  }

  // Appends settings of section "Configurari" (the settings file's last) and starts the
  // driver again with them.
  bool RestartWith(const std::vector<std::string>& lines) {
    if (rig.StopDriver() != 0) return false;
    std::string settings = ReadBytes(rig.PathOf("XRUVODRV.INI"));
    for (const std::string& line : lines) settings += line + "\r\n";
    WriteBytes(rig.PathOf("XRUVODRV.INI"), settings);
    return rig.RestartDriver();
  }

  const int port_;
  std::string token_;
};

TEST_F(HttpsTest, ATillPinsTheCertificateMadeAtTheFirstStartAndSellsOverHttps) {
  const std::string certificate = rig.PathOf(http::kCertificateFileName);
  for (const std::string& file : {certificate, rig.PathOf(http::kKeyFileName)}) {
    struct stat info {};
    ASSERT_EQ(::lstat(file.c_str(), &info), 0) << file << rig.DriverMessages();
    EXPECT_EQ(info.st_mode & 0777, 0640u) << file;
  }
  // The log tells the fingerprint and the pin, and so does ctl status.
  const std::string messages = rig.DriverMessages();
  const std::string fingerprint = After(messages, "SHA-256 fingerprint ");
  const std::string pin = After(messages, "public key pin ");
  ASSERT_EQ(fingerprint.size(), 95u) << messages;
  ASSERT_EQ(pin.rfind("sha256//", 0), 0u) << messages;
  const std::string status = CtlStatus();
  EXPECT_NE(status.find("Amprenta SHA-256: " + fingerprint), std::string::npos) << status;
  EXPECT_NE(status.find("Cheie publica: " + pin), std::string::npos) << status;

  // Pinned by its public key, or trusted as a CA file: answered. Trusted by neither, with
  // another pin, or in plain HTTP: nothing.
  EXPECT_EQ(Status({"-k", "--pinnedpubkey", pin}).status, 200);
  EXPECT_EQ(Status({"--cacert", certificate}).status, 200);
  EXPECT_EQ(Status({}).status, 0);
  EXPECT_EQ(Status({"-k", "--pinnedpubkey", "sha256//" + std::string(43, 'A') + "="}).status, 0);
  EXPECT_NE(RunCurl(rig.Folder(), {Url("http", "/v1/status")}).status, 200);

  // A sale over HTTPS: printed once, its repeat the first answer.
  const std::vector<std::string> sale = {"--cacert",
                                         certificate,
                                         "-H",
                                         "Authorization: Bearer " + token_,
                                         "-H",
                                         "Idempotency-Key: tls-1",
                                         "-H",
                                         "Content-Type: text/plain",
                                         "--data-binary",
                                         "1;PAINE ALBA;BUC;1;1;250;100000\n5;250;1\n",
                                         Url("https", "/v1/receipts?wait=20")};
  const CurlReply sold = RunCurl(rig.Folder(), sale);
  ASSERT_EQ(sold.status, 200) << sold.body << rig.DriverMessages();
  EXPECT_EQ(sold.Json()["answer"]["ok"], true);
  const CurlReply again = RunCurl(rig.Folder(), sale);
  EXPECT_EQ(again.status, 200);
  EXPECT_NE(again.headers.find("Idempotent-Replayed: true"), std::string::npos);
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "PAINE ALBA"), 1);

  // A restart keeps the certificate the tills pinned.
  ASSERT_TRUE(RestartWith({})) << rig.DriverMessages();
  EXPECT_EQ(After(rig.DriverMessages(), "SHA-256 fingerprint "), fingerprint);
  EXPECT_EQ(Status({"-k", "--pinnedpubkey", pin}).status, 200);
}

TEST_F(HttpsTest, ANamedCertificateIsServedAndAKeyOthersMayReadKeepsTheServerOff) {
  // The shop's own pair: here the one the driver made, under other names.
  const std::string pin = After(rig.DriverMessages(), "public key pin ");
  WriteBytes(rig.PathOf("shop.crt"), ReadBytes(rig.PathOf(http::kCertificateFileName)));
  WriteBytes(rig.PathOf("shop.key"), ReadBytes(rig.PathOf(http::kKeyFileName)));
  ASSERT_EQ(::chmod(rig.PathOf("shop.key").c_str(), 0640), 0);
  ASSERT_EQ(std::remove(rig.PathOf(http::kCertificateFileName).c_str()), 0);
  ASSERT_EQ(std::remove(rig.PathOf(http::kKeyFileName).c_str()), 0);
  ASSERT_TRUE(RestartWith({"CertificatHttp=shop.crt", "CheieHttp=shop.key"}));
  EXPECT_NE(rig.DriverMessages().find("certificate " + rig.PathOf("shop.crt")), std::string::npos)
      << rig.DriverMessages();
  EXPECT_EQ(Status({"-k", "--pinnedpubkey", pin}).status, 200) << rig.DriverMessages();
  EXPECT_FALSE(PathExists(rig.PathOf(http::kCertificateFileName)));

  // A key anyone on the machine may read: no server, and the log says why.
  ASSERT_EQ(::chmod(rig.PathOf("shop.key").c_str(), 0644), 0);
  ASSERT_TRUE(RestartWith({}));
  EXPECT_NE(rig.DriverMessages().find("speaks only HTTPS"), std::string::npos)
      << rig.DriverMessages();
  EXPECT_NE(rig.DriverMessages().find("others cannot read"), std::string::npos);
  EXPECT_EQ(Status({"-k"}).status, 0);
}

}  // namespace
}  // namespace ruvo::e2e
