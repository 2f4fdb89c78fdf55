// Receipts over HTTP on a Unix socket end to end: curl --unix-socket against the driver and
// the simulator behind it. A sale with its key printed once, the token and the status, the
// socket's mode, and its file across a stop and a kill -9.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include <nlohmann/json.hpp>

#include "CurlClient.h"
#include "DriverRig.h"
#include "E2eFiles.h"
#include "http/AccessToken.h"
#include "platform/TempFolder.h"

namespace ruvo::e2e {
namespace {

const std::string kSale = "1;PAINE ALBA;BUC;1;1;250;100000\n5;250;1\n";

// A socket's path holds at most 107 bytes: the socket lives in a short folder of its own
// under /tmp, not in the rig's folder, however deep the build tree is.
struct SocketFolder {
  ruvo::testing::TempFolder socketFolder;
};

RigOptions WithSocket(const std::string& path) {
  RigOptions options;
  options.settings = {"ServerHttp=DA", "AdresaHttp=unix:" + path};
  return options;
}

using Reply = CurlReply;

// Before DriverTest, so that the folder is there for the rig's settings and outlives it.
class HttpUnixSocketTest : private SocketFolder, public DriverTest {
 protected:
  HttpUnixSocketTest() : DriverTest(WithSocket(socketFolder / "http.sock")) {}

  void SetUp() override {
    if (::access(kCurl.c_str(), X_OK) != 0) GTEST_SKIP() << "curl is not installed";
    ASSERT_FALSE(socketFolder.Path().empty());
    ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
    token_ = ReadBytes(rig.PathOf(http::kTokenFileName));
    while (!token_.empty() && token_.back() == '\n') token_.pop_back();
    ASSERT_EQ(token_.size(), 64u) << rig.DriverMessages();
  }

  std::string SocketPath() const { return socketFolder / "http.sock"; }

  // The socket's file type and permission bits, 0 when there is no file.
  mode_t SocketMode() const {
    struct stat status {};
    return ::lstat(SocketPath().c_str(), &status) == 0 ? status.st_mode : 0;
  }

  Reply Curl(std::vector<std::string> options, bool withToken = true) {
    if (withToken) options.insert(options.begin(), {"-H", "Authorization: Bearer " + token_});
    options.insert(options.begin(), {"--unix-socket", SocketPath()});
    return RunCurl(rig.Folder(), options);
  }

  Reply PostReceipt(const std::string& key, const std::string& body, bool withToken = true) {
    WriteBytes(rig.PathOf("curl-request.in"), body);
    return Curl({"-X", "POST", "-H", "Content-Type: text/plain; charset=utf-8", "-H",
                 "Idempotency-Key: " + key, "--data-binary", "@" + rig.PathOf("curl-request.in"),
                 "http://localhost/v1/receipts?wait=20"},
                withToken);
  }

  Reply Status() { return Curl({"http://localhost/v1/status"}, false); }

  std::string token_;
};

TEST_F(HttpUnixSocketTest, ASaleIsPrintedOnceWhateverTimesItsKeyIsSentAndTheTokenIsNeeded) {
  EXPECT_TRUE(S_ISSOCK(SocketMode()));
  EXPECT_EQ(SocketMode() & 0777, 0660u);

  const Reply status = Status();
  ASSERT_EQ(status.status, 200) << status.body << rig.DriverMessages();
  EXPECT_EQ(status.Json()["stare"], "START PROCESARE");

  const Reply anonymous = PostReceipt("unix-0000", kSale, false);
  EXPECT_EQ(anonymous.status, 401) << anonymous.body;

  const Reply sale = PostReceipt("unix-0001", kSale);
  ASSERT_EQ(sale.status, 200) << sale.body << rig.DriverMessages();
  const nlohmann::json answer = sale.Json();
  EXPECT_EQ(answer["answer"]["lines"], nlohmann::json({"0 OK", "BON FISCAL NR. 0001"}));
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "PAINE ALBA"), 1);

  const Reply again = PostReceipt("unix-0001", kSale);
  ASSERT_EQ(again.status, 200) << again.body;
  EXPECT_EQ(again.Json()["answer"], answer["answer"]);
  EXPECT_NE(again.headers.find("Idempotent-Replayed: true"), std::string::npos) << again.headers;
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "PAINE ALBA"), 1) << rig.Ecr().Paper();
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "BON FISCAL NR."), 1) << rig.Ecr().Paper();
  // The receipt without the token printed nothing.
  EXPECT_EQ(Curl({"http://localhost/v1/receipts/unix-0000"}).status, 404);
}

TEST_F(HttpUnixSocketTest, ASocketLeftByAKilledDriverIsTakenOverAndAStopRemovesIt) {
  ASSERT_EQ(Status().status, 200) << rig.DriverMessages();
  ASSERT_TRUE(rig.KillDriver());
  // Nothing listens on it now, but its file stays where the next start binds.
  ASSERT_TRUE(S_ISSOCK(SocketMode()));

  ASSERT_TRUE(rig.RestartDriver()) << rig.DriverMessages();
  EXPECT_EQ(SocketMode() & 0777, 0660u);
  const Reply status = Status();
  ASSERT_EQ(status.status, 200) << status.body << rig.DriverMessages();
  const Reply sale = PostReceipt("unix-after-kill", kSale);
  EXPECT_EQ(sale.status, 200) << sale.body << rig.DriverMessages();
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "PAINE ALBA"), 1);

  ASSERT_EQ(rig.StopDriver(), 0) << rig.DriverMessages();
  EXPECT_EQ(SocketMode(), 0u) << "the socket outlived the driver";
}

}  // namespace
}  // namespace ruvo::e2e
