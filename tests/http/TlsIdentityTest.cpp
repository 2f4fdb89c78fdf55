// The HTTPS identity: the self-signed certificate made once and kept, a named pair, and
// the pairs that must keep the server off; where plain HTTP is allowed at all; the
// machine's names a Host may give.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <string>

#include "http/HttpSettings.h"
#include "http/MachineNames.h"
#include "http/PrivateFile.h"
#include "http/TlsIdentity.h"
#include "platform/Files.h"
#include "platform/TempFolder.h"

namespace ruvo::http {
namespace {

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

bool Has(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(TlsIdentityTest, TheSelfSignedCertificateIsMadeOnceWithTheTokensPermissionsAndKept) {
  ruvo::testing::TempFolder folder;
  std::string problem;
  const auto made =
      LoadOrMakeTlsIdentity(folder.Path(), "", "", {"192.168.1.20", "till-pc", "::1"}, problem);
  ASSERT_TRUE(made) << problem;
  EXPECT_TRUE(made->madeHere);
  EXPECT_EQ(made->certificateFile, folder / kCertificateFileName);
  EXPECT_EQ(ModeOf(folder / kCertificateFileName), 0640u);
  EXPECT_EQ(ModeOf(folder / kKeyFileName), 0640u);
  EXPECT_EQ(made->fingerprint.size(), 32u * 3 - 1);
  EXPECT_EQ(made->publicKeyPin.rfind("sha256//", 0), 0u);
  EXPECT_EQ(made->publicKeyPin.size(), 8u + 44);
  EXPECT_GT(made->expires, std::time(nullptr) + 9L * 365 * 24 * 60 * 60);

  // The next start reads the same pair: the tills' pins still hold.
  const auto again = LoadOrMakeTlsIdentity(folder.Path(), "", "", {}, problem);
  ASSERT_TRUE(again) << problem;
  EXPECT_EQ(again->fingerprint, made->fingerprint);
  EXPECT_EQ(again->publicKeyPin, made->publicKeyPin);

  // Named files are read as they are, relative to the folder.
  WriteFileBytes(folder / "shop.crt", made->certificatePem);
  std::string ignored;
  ASSERT_TRUE(WritePrivateFile(folder.Path(), folder / "shop.key", made->keyPem, ignored));
  const auto named = LoadOrMakeTlsIdentity(folder.Path(), "shop.crt", "shop.key", {}, problem);
  ASSERT_TRUE(named) << problem;
  EXPECT_FALSE(named->madeHere);
  EXPECT_EQ(named->fingerprint, made->fingerprint);
}

TEST(TlsIdentityTest, PairsThatWouldNotProtectTheTillsKeepTheServerOff) {
  ruvo::testing::TempFolder folder;
  ruvo::testing::TempFolder other;
  std::string problem;
  const auto first = LoadOrMakeTlsIdentity(folder.Path(), "", "", {}, problem);
  const auto second = LoadOrMakeTlsIdentity(other.Path(), "", "", {}, problem);
  ASSERT_TRUE(first && second) << problem;
  EXPECT_NE(first->publicKeyPin, second->publicKeyPin);

  // A certificate with another one's key.
  WriteFileBytes(folder / "mixed.crt", first->certificatePem);
  std::string ignored;
  ASSERT_TRUE(WritePrivateFile(folder.Path(), folder / "mixed.key", second->keyPem, ignored));
  problem.clear();
  EXPECT_FALSE(LoadOrMakeTlsIdentity(folder.Path(), "mixed.crt", "mixed.key", {}, problem));
  EXPECT_NE(problem.find("do not go together"), std::string::npos) << problem;

  // A key anyone on the machine may read; a certificate without its key named; no PEM.
  ASSERT_EQ(::chmod((folder / kKeyFileName).c_str(), 0644), 0);
  problem.clear();
  EXPECT_FALSE(LoadOrMakeTlsIdentity(folder.Path(), "", "", {}, problem));
  EXPECT_NE(problem.find("others cannot read"), std::string::npos) << problem;
  problem.clear();
  EXPECT_FALSE(LoadOrMakeTlsIdentity(folder.Path(), "mixed.crt", "", {}, problem));
  EXPECT_NE(problem.find("CheieHttp"), std::string::npos) << problem;
  WriteFileBytes(folder / "junk.crt", "not a certificate");
  problem.clear();
  EXPECT_FALSE(LoadOrMakeTlsIdentity(folder.Path(), "junk.crt", "mixed.key", {}, problem));
  EXPECT_NE(problem.find("no PEM certificate"), std::string::npos) << problem;
}

TEST(TlsIdentityTest, PlainHttpOnlyWhereNoByteLeavesTheMachine) {
  for (const std::string plain : {"127.0.0.1:8765", "[::1]:8765", "/run/ruvo/http.sock"}) {
    EXPECT_TRUE(ParseListenAddress(plain)->PlainHttpAllowed()) << plain;
  }
  for (const std::string tls :
       {"192.168.1.20:8765", "0.0.0.0:8765", "[::]:8765", "127.0.0.2:8765", "[fe80::1]:8765"}) {
    EXPECT_FALSE(ParseListenAddress(tls)->PlainHttpAllowed()) << tls;
  }
}

TEST(MachineNamesTest, EveryAddressAcceptsTheMachinesOwnNamesAndLoopback) {
  const std::vector<std::string> wildcard = MachineNames(*ParseListenAddress("0.0.0.0:8765"));
  for (const std::string name : {"127.0.0.1", "[::1]", "localhost"}) {
    EXPECT_TRUE(Has(wildcard, name)) << name;
  }
  // Only the machine's names: an address a foreign page could give is not among them.
  EXPECT_FALSE(Has(wildcard, "0.0.0.0"));
  EXPECT_FALSE(Has(wildcard, "example.com"));

  const std::vector<std::string> lan = MachineNames(*ParseListenAddress("192.168.1.20:8765"));
  EXPECT_FALSE(Has(lan, "127.0.0.1"));
  EXPECT_TRUE(MachineNames(*ParseListenAddress("127.0.0.1:8765")).empty());

  // The certificate states the bound address and the names, IPv6 without brackets.
  const std::vector<std::string> certificate =
      CertificateNames(*ParseListenAddress("192.168.1.20:8765"), {"[::1]", "till"}, {"pos"});
  EXPECT_EQ(certificate, (std::vector<std::string>{"192.168.1.20", "::1", "till", "pos"}));
}

}  // namespace
}  // namespace ruvo::http
