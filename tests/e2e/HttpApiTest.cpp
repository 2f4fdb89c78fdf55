// Receipts over HTTP end to end: curl against the driver (its HTTP server set on) and the
// simulator behind it. A sale, the same key twice (one receipt on the paper), the same
// key with another receipt, the token and the Host checks, a key across a restart, a
// character the ECR cannot print, a client that gives up waiting, HTTP receipts among
// receipt files, and the manual operations (POST /v1/operations/...).
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "CurlClient.h"
#include "DriverRig.h"
#include "E2eFiles.h"
#include "FreePort.h"
#include "http/AccessToken.h"
#include "platform/Files.h"

namespace ruvo::e2e {
namespace {

const std::string kSale = "1;PAINE ALBA;BUC;1;1;250;100000\n5;250;1\n";

RigOptions WithHttp(int port) {
  RigOptions options;
  options.settings = {"ServerHttp=DA", "AdresaHttp=127.0.0.1:" + std::to_string(port)};
  return options;
}

using Reply = CurlReply;

class HttpApiTest : public DriverTest {
 protected:
  HttpApiTest() : HttpApiTest(FreePort()) {}
  explicit HttpApiTest(int port) : DriverTest(WithHttp(port)), port_(port) {}

  void SetUp() override {
    if (::access(kCurl.c_str(), X_OK) != 0) GTEST_SKIP() << "curl is not installed";
    ASSERT_NE(port_, 0);
    ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
    token_ = ReadBytes(rig.PathOf(http::kTokenFileName));
    while (!token_.empty() && token_.back() == '\n') token_.pop_back();
    ASSERT_EQ(token_.size(), 64u) << rig.DriverMessages();
  }

  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

  // curl with the options; the token unless told otherwise.
  Reply Curl(std::vector<std::string> options, bool withToken = true) {
    if (withToken) options.insert(options.begin(), {"-H", "Authorization: Bearer " + token_});
    return RunCurl(rig.Folder(), options);
  }

  // A receipt as text/plain under its key, waiting as the query says; more curl options
  // (a client's shorter patience) go before the address.
  Reply PostReceipt(const std::string& key, const std::string& body, bool withToken = true,
                    const std::string& query = "?wait=20", std::vector<std::string> more = {}) {
    WriteBytes(rig.PathOf("curl-request.in"), body);
    const std::string type = "Content-Type: text/plain; charset=utf-8";
    const std::string data = "@" + rig.PathOf("curl-request.in");
    std::vector<std::string> options =
        {"-X", "POST", "-H", type, "-H", "Idempotency-Key: " + key, "--data-binary", data};
    options.insert(options.end(), more.begin(), more.end());
    options.push_back(Url("/v1/receipts" + query));
    return Curl(options, withToken);
  }

  // Each call under a key of its own, as a till sends a new operation.
  Reply PostOperation(const std::string& name, const std::string& body = "{}",
                      bool withToken = true) {
    const std::string key = "Idempotency-Key: op-" + std::to_string(++operations_);
    return Curl({"-X", "POST", "-H", "Content-Type: application/json", "-H", key, "--data-binary",
                 body, Url("/v1/operations/" + name)},
                withToken);
  }

  const int port_;
  std::string token_;
  int operations_ = 0;
};

TEST_F(HttpApiTest, ASaleIsPrintedOnceWhateverTimesItsKeyIsSent) {
  const Reply sale = PostReceipt("sale-0001", kSale);
  ASSERT_EQ(sale.status, 200) << sale.body << rig.DriverMessages();
  const nlohmann::json answer = sale.Json();
  EXPECT_EQ(answer["state"], "answered");
  EXPECT_EQ(answer["answer"]["lines"], nlohmann::json({"0 OK", "BON FISCAL NR. 0001"}));
  EXPECT_EQ(answer["answer"]["receipt"]["number"], "0001");
  EXPECT_EQ(answer["answer"]["ok"], true);
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "PAINE ALBA"), 1);

  // The same key and receipt again (a till that lost the answer): the first answer.
  const Reply again = PostReceipt("sale-0001", kSale);
  ASSERT_EQ(again.status, 200) << again.body;
  EXPECT_EQ(again.Json()["answer"], answer["answer"]);
  EXPECT_NE(again.headers.find("Idempotent-Replayed: true"), std::string::npos) << again.headers;
  const Reply polled = Curl({Url("/v1/receipts/sale-0001")});
  EXPECT_EQ(polled.status, 200);
  EXPECT_EQ(polled.Json()["answer"], answer["answer"]);

  // The same key with another receipt: refused, nothing printed.
  const Reply other = PostReceipt("sale-0001", "1;LAPTE;BUC;1;1;500;100000\n5;500;1\n");
  EXPECT_EQ(other.status, 409) << other.body;
  EXPECT_NE(other.headers.find("application/problem+json"), std::string::npos);
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "PAINE ALBA"), 1);
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "LAPTE"), 0);

  // A receipt the driver refuses: its code and text as a problem, nothing printed.
  const Reply refused = PostReceipt("sale-0002", "1;PAINE ALBA;BUC;1;1;2.50;100000\n5;250;1\n");
  EXPECT_EQ(refused.status, 422) << refused.body;
  EXPECT_EQ(refused.Json()["code"], 8011);
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "PAINE ALBA"), 1);

  // The channel's files are gone: the answer lives in the key's record.
  EXPECT_TRUE(ListMatching(rig.Folder(), "ONLINE*.TXT").empty());
  EXPECT_TRUE(ListMatching(rig.Folder(), "ERROR*.TXT").empty());
}

TEST_F(HttpApiTest, ATokenAndThisServersHostAreNeeded) {
  struct stat token {};
  ASSERT_EQ(::stat(rig.PathOf(http::kTokenFileName).c_str(), &token), 0);
  EXPECT_EQ(token.st_mode & 0777, 0640u);

  EXPECT_EQ(PostReceipt("t-1", kSale, false).status, 401);
  const Reply wrong = Curl({"-X", "POST", "-H", "Authorization: Bearer " + std::string(64, '0'),
                            "-H", "Idempotency-Key: t-2", "-H", "Content-Type: text/plain",
                            "--data-binary", kSale, Url("/v1/receipts")},
                           false);
  EXPECT_EQ(wrong.status, 401) << wrong.body;
  const Reply rebound = Curl({"-H", "Host: shop.example:" + std::to_string(port_), "-X", "POST",
                              "-H", "Idempotency-Key: t-3", "-H", "Content-Type: text/plain",
                              "--data-binary", kSale, Url("/v1/receipts")});
  EXPECT_EQ(rebound.status, 421) << rebound.body;
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "PAINE ALBA"), 0);

  // The status needs no token, but still this server's Host.
  const Reply status = Curl({Url("/v1/status")}, false);
  ASSERT_EQ(status.status, 200) << status.body;
  EXPECT_EQ(status.Json()["stare"], "START PROCESARE");
  EXPECT_EQ(status.Json()["conectatLaCasa"], true);
  EXPECT_EQ(Curl({"-H", "Host: shop.example", Url("/v1/status")}, false).status, 421);
}

TEST_F(HttpApiTest, ClientsThatStallHoldUpNoReceiptFile) {
  // Connections that send half a request and then nothing, up to the server's limit.
  std::vector<int> stalled;
  for (int i = 0; i < 40; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      const std::string half = "POST /v1/receipts HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Len";
      (void)!::write(fd, half.data(), half.size());
    }
    stalled.push_back(fd);
  }
  EXPECT_EQ(rig.Run("ONLINE.TXT", {"1;PAINE ALBA;BUC;1;1;250;100000", "5;250;1"}),
            (std::vector<std::string>{"0 OK", "BON FISCAL NR. 0001"}));
  for (const int fd : stalled) ::close(fd);
  // The server serves again once they are gone.
  EXPECT_TRUE(WaitUntil([&] { return Curl({Url("/v1/status")}, false).status == 200; },
                        DriverRig::kAnswerMs));
}

TEST_F(HttpApiTest, ASaleKilledJustAfterItsCloseIsAnsweredOnceAfterTheRestart) {
  ASSERT_TRUE(rig.Ecr().Control("lose 3011 after"));
  const Reply accepted = PostReceipt("crash-1", kSale, true, "?wait=0");
  ASSERT_EQ(accepted.status, 202) << accepted.body;
  ASSERT_TRUE(
      WaitUntil([&] { return rig.Ecr().Messages().find("xruvo_sim: lost ") != std::string::npos; },
                DriverRig::kAnswerMs))
      << rig.Ecr().Messages() << rig.DriverMessages();
  ASSERT_TRUE(rig.KillDriver());
  ASSERT_TRUE(rig.RestartDriver()) << rig.DriverMessages();

  // The same request again, as a till that lost its connection does.
  const Reply answered = PostReceipt("crash-1", kSale);
  ASSERT_EQ(answered.status, 200) << answered.body << rig.DriverMessages();
  EXPECT_EQ(answered.Json()["answer"]["receipt"]["number"], "0001");
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "PAINE ALBA"), 1) << rig.Ecr().Paper();
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "BON FISCAL NR."), 1) << rig.Ecr().Paper();
}

// A web till's day end: the Z report is refused while processing runs; it stops the
// processing, runs its reports and cash operations, and starts it again for the next sale.
TEST_F(HttpApiTest, ManualOperationsRunOnlyWhileProcessingIsStoppedAsThroughCtl) {
  const std::string paperBefore = rig.Ecr().Paper();
  const Reply refused = PostOperation("z-report");
  EXPECT_EQ(refused.status, 409) << refused.body;
  EXPECT_EQ(refused.Json()["detail"], "Opriti procesarea: ruvo_drv ctl stop");
  EXPECT_EQ(rig.Ecr().Paper(), paperBefore);
  EXPECT_EQ(PostOperation("stop-processing", "{}", false).status, 401);
  EXPECT_EQ(rig.Status("Stare"), "START PROCESARE");

  const Reply stopped = PostOperation("stop-processing");
  ASSERT_EQ(stopped.status, 200) << stopped.body;
  EXPECT_EQ(stopped.Json()["lines"], nlohmann::json({"STOP PROCESARE"}));
  EXPECT_EQ(rig.Status("Stare"), "STOP PROCESARE");

  const Reply x = PostOperation("x-report");
  ASSERT_EQ(x.status, 200) << x.body << rig.DriverMessages();
  EXPECT_EQ(x.Json()["ok"], true);
  EXPECT_NE(rig.Ecr().Paper().find("RAPORT X"), std::string::npos) << rig.Ecr().Paper();
  EXPECT_EQ(paperBefore.find("RAPORT X"), std::string::npos);

  const std::string paperAfterX = rig.Ecr().Paper();
  const Reply badAmount = PostOperation("cash-in", R"({"amount":"12.5x"})");
  EXPECT_EQ(badAmount.status, 422) << badAmount.body;
  EXPECT_EQ(badAmount.Json()["field"], "amount");
  const Reply wrongType = PostOperation("cash-in", R"({"amount":12.5})");
  EXPECT_EQ(wrongType.status, 422) << wrongType.body;
  EXPECT_EQ(wrongType.Json()["field"], "amount");
  EXPECT_EQ(PostOperation("logo", R"({"file":"/etc/passwd"})").status, 404);
  EXPECT_EQ(rig.Ecr().Paper(), paperAfterX);

  const Reply started = PostOperation("start-processing");
  ASSERT_EQ(started.status, 200) << started.body;
  EXPECT_EQ(started.Json()["lines"][0], "START PROCESARE");
  const Reply sale = PostReceipt("after-ops-1", kSale);
  ASSERT_EQ(sale.status, 200) << sale.body << rig.DriverMessages();
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "PAINE ALBA"), 1);
}

// An operation runs outside the server library's callback: while it waits on the ECR the
// server still answers, and a second operation is refused at once.
TEST_F(HttpApiTest, WhileAnOperationRunsTheServerAnswersAndRefusesASecondOne) {
  ASSERT_EQ(PostOperation("stop-processing").status, 200);
  ASSERT_TRUE(rig.Ecr().Control("delay 400"));
  ChildProcess first;
  ASSERT_TRUE(
      first.Start({kCurl, "-sS", "--max-time", "60", "-o", rig.PathOf("first.out"), "-w",
                   "%{http_code}", "-X", "POST", "-H", "Authorization: Bearer " + token_, "-H",
                   "Idempotency-Key: first-x", "--data-binary", "", Url("/v1/operations/x-report")},
                  rig.PathOf("first-code.out"), rig.PathOf("first.err")));
  ASSERT_TRUE(WaitUntil(
      [&] {
        nlohmann::json status = Curl({Url("/v1/status")}, false).Json();
        return status.is_object() && status["operation"].is_object();
      },
      DriverRig::kAnswerMs))
      << rig.DriverMessages();
  const Reply second = PostOperation("z-report");
  EXPECT_EQ(second.status, 409) << second.body;
  EXPECT_EQ(second.Json()["type"], "urn:ruvo-drv:problem:operation-running");

  ASSERT_EQ(first.Wait(60000), 0) << ReadBytes(rig.PathOf("first.err"));
  EXPECT_EQ(ReadBytes(rig.PathOf("first-code.out")), "200") << ReadBytes(rig.PathOf("first.out"));
  EXPECT_NE(rig.Ecr().Paper().find("RAPORT X"), std::string::npos);
  EXPECT_EQ(rig.Ecr().Paper().find("RAPORT Z"), std::string::npos) << rig.Ecr().Paper();
}

// The driver's clock set eight days forward ("ZilePastrareHttp" is 7) and restarted: the
// till repeats its key and gets the first answer; nothing is printed again.
TEST_F(HttpApiTest, AKeyOutlivesAClockStepForward) {
  const Reply first = PostReceipt("step-1", kSale);
  ASSERT_EQ(first.status, 200) << first.body << rig.DriverMessages();
  ASSERT_TRUE(rig.KillDriver());
  rig.ShiftDriverClock(8LL * 86'400);
  ASSERT_TRUE(rig.RestartDriver()) << rig.DriverMessages();
  const Reply again = PostReceipt("step-1", kSale);
  ASSERT_EQ(again.status, 200) << again.body;
  EXPECT_NE(again.headers.find("Idempotent-Replayed: true"), std::string::npos) << again.headers;
  EXPECT_EQ(again.Json()["answer"], first.Json()["answer"]);
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "PAINE ALBA"), 1) << rig.Ecr().Paper();
}

TEST_F(HttpApiTest, AKeyOutlivesARestartOfTheDriver) {
  ASSERT_EQ(PostReceipt("restart-1", kSale).status, 200);
  ASSERT_EQ(rig.StopDriver(), 0);
  ASSERT_TRUE(rig.RestartDriver()) << rig.DriverMessages();
  const Reply again = PostReceipt("restart-1", kSale);
  EXPECT_EQ(again.status, 200) << again.body << rig.DriverMessages();
  EXPECT_EQ(again.Json()["answer"]["receipt"]["number"], "0001");
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "PAINE ALBA"), 1);
}

// A key's record cut short while the driver was down: the key is refused, never printed
// again on a guess, and the damage is said where the shop looks.
TEST_F(HttpApiTest, ADamagedKeyRecordRefusesItsKeyAndIsSaid) {
  ASSERT_EQ(PostReceipt("cut-1", kSale).status, 200);
  ASSERT_EQ(rig.StopDriver(), 0);
  const std::vector<std::string> records = ListMatching(rig.PathOf(".ruvohttp"), "*.key");
  ASSERT_EQ(records.size(), 1u);
  const std::string record = rig.PathOf(".ruvohttp/" + records[0]);
  const std::string bytes = ReadBytes(record);
  WriteBytes(record, bytes.substr(0, bytes.size() / 2));
  ASSERT_TRUE(rig.RestartDriver()) << rig.DriverMessages();

  const Reply again = PostReceipt("cut-1", kSale);
  EXPECT_EQ(again.status, 503) << again.body;
  EXPECT_NE(again.body.find("key-record-damaged"), std::string::npos) << again.body;
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "PAINE ALBA"), 1);
  EXPECT_EQ(ReadBytes(record), bytes.substr(0, bytes.size() / 2));
  EXPECT_NE(rig.Status("Atentionari").find(records[0]), std::string::npos)
      << rig.Status("Atentionari");
  const Reply status = Curl({Url("/v1/status")});
  EXPECT_NE(status.body.find(records[0]), std::string::npos) << status.body;
}

TEST_F(HttpApiTest, ACharacterTheEcrCannotPrintIsRefusedByNameAndNothingIsWritten) {
  // "s" with a comma below (U+0219): Windows-1250 has only the one with a cedilla.
  const Reply refused = PostReceipt("char-1", "1;PAINE \xC8\x99;BUC;1;1;250;100000\n5;250;1\n");
  EXPECT_EQ(refused.status, 422) << refused.body;
  EXPECT_NE(refused.body.find("U+0219"), std::string::npos) << refused.body;
  EXPECT_EQ(Curl({Url("/v1/receipts/char-1")}).status, 404);
  EXPECT_TRUE(ListMatching(rig.Folder(), "ONLINE*.TXT").empty());
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "PAINE"), 0);
}

TEST_F(HttpApiTest, AClientThatGivesUpWaitingAndAsksAgainGetsOneReceipt) {
  // Every answer of the ECR a while late: the sale outlasts the client's patience.
  ASSERT_TRUE(rig.Ecr().Control("delay 300"));
  const Reply gaveUp = PostReceipt("patience-1", kSale, true, "?wait=20", {"--max-time", "0.5"});
  EXPECT_EQ(gaveUp.status, 0) << "curl was meant to give up: " << gaveUp.body;

  const Reply again = PostReceipt("patience-1", kSale);
  ASSERT_EQ(again.status, 200) << again.body << rig.DriverMessages();
  EXPECT_EQ(again.Json()["answer"]["receipt"]["number"], "0001");
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "PAINE ALBA"), 1) << rig.Ecr().Paper();
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "BON FISCAL NR."), 1) << rig.Ecr().Paper();
}

TEST_F(HttpApiTest, HttpAndFileReceiptsInterleavedEachGetTheirOwnAnswer) {
  ASSERT_TRUE(rig.Ecr().Control("delay 20"));
  const auto post = [&](const std::string& key, const std::string& article) {
    return PostReceipt(key, "1;" + article + ";BUC;1;1;250;100000\n5;250;1\n", true, "?wait=0");
  };
  const Reply first = post("mix-1", "HTTP-UNU");
  ASSERT_TRUE(first.status == 202 || first.status == 200) << first.body;
  ASSERT_TRUE(rig.Drop("ONLINE1.TXT", ReceiptText({"1;FISIER-UNU;BUC;1;1;250;100000", "5;250;1"})));
  const Reply second = post("mix-2", "HTTP-DOI");
  ASSERT_TRUE(second.status == 202 || second.status == 200) << second.body;
  ASSERT_TRUE(rig.Drop("ONLINE2.TXT", ReceiptText({"1;FISIER-DOI;BUC;1;1;250;100000", "5;250;1"})));

  std::map<std::string, std::string> numbers;  // article: its receipt's number
  for (const char* name : {"ONLINE1.TXT", "ONLINE2.TXT"}) {
    const std::optional<std::string> response = rig.AwaitResponse(name);
    ASSERT_TRUE(response.has_value()) << name << rig.DriverMessages();
    const std::size_t at = response->find("BON FISCAL NR. ");
    ASSERT_NE(at, std::string::npos) << *response;
    numbers[name == std::string("ONLINE1.TXT") ? "FISIER-UNU" : "FISIER-DOI"] =
        response->substr(at + 15, 4);
  }
  for (const auto& [key, article] : {std::pair{"mix-1", "HTTP-UNU"}, {"mix-2", "HTTP-DOI"}}) {
    const Reply answered = Curl({Url(std::string("/v1/receipts/") + key + "?wait=20")});
    ASSERT_EQ(answered.status, 200) << answered.body;
    numbers[article] = answered.Json()["answer"]["receipt"]["number"];
  }

  // Four receipts, each printed once, under four numbers.
  std::set<std::string> distinct;
  for (const auto& [article, number] : numbers) {
    EXPECT_EQ(CountOf(rig.Ecr().Paper(), article), 1) << article << rig.Ecr().Paper();
    distinct.insert(number);
  }
  EXPECT_EQ(distinct, (std::set<std::string>{"0001", "0002", "0003", "0004"}));
}

}  // namespace
}  // namespace ruvo::e2e
