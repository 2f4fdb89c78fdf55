// Exact to the cent, in the order things arrived, every call safe to repeat: curl and
// `ruvo_drv ctl` against the driver (its HTTP server on) and the simulator behind it.
// Operations under an Idempotency-Key (and ctl --key) never run twice, also across a
// kill -9 in the middle of one; amounts are never rounded; control characters never reach
// the ECR; waiting files and HTTP receipts are printed in the order they arrived.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
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

RigOptions HttpOn(int port) {
  RigOptions options;
  options.settings = {"ServerHttp=DA", "AdresaHttp=127.0.0.1:" + std::to_string(port)};
  return options;
}

struct CtlOutput {
  int exitCode = -2;
  std::string out;
  std::string err;
};

class OperationKeysTest : public DriverTest {
 protected:
  OperationKeysTest() : OperationKeysTest(FreePort()) {}
  explicit OperationKeysTest(int port) : DriverTest(HttpOn(port)), port_(port) {}

  void SetUp() override {
    if (::access(kCurl.c_str(), X_OK) != 0) GTEST_SKIP() << "curl is not installed";
    ASSERT_NE(port_, 0);
    ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
    ReadToken();
  }
  void ReadToken() {
    token_ = ReadBytes(rig.PathOf(http::kTokenFileName));
    while (!token_.empty() && token_.back() == '\n') token_.pop_back();
    ASSERT_EQ(token_.size(), 64u) << rig.DriverMessages();
  }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  CurlReply Operation(const std::string& name, const std::string& body, const std::string& key) {
    std::vector<std::string> options = {"-H", "Authorization: Bearer " + token_, "-X", "POST",
                                        "-H", "Content-Type: application/json"};
    if (!key.empty()) options.insert(options.end(), {"-H", "Idempotency-Key: " + key});
    options.insert(options.end(), {"--data-binary", body, Url("/v1/operations/" + name)});
    return RunCurl(rig.Folder(), options);
  }
  CurlReply Receipt(const std::string& key, const std::string& body, const std::string& query) {
    WriteBytes(rig.PathOf("curl-request.in"), body);
    return RunCurl(rig.Folder(),
                   {"-H", "Authorization: Bearer " + token_, "-X", "POST", "-H",
                    "Content-Type: text/plain; charset=utf-8", "-H", "Idempotency-Key: " + key,
                    "--data-binary", "@" + rig.PathOf("curl-request.in"),
                    Url("/v1/receipts" + query)});
  }
  CtlOutput Ctl(const std::vector<std::string>& command) {
    std::vector<std::string> args = {RUVO_DRV_PATH, "ctl", "--instance", rig.Instance()};
    args.insert(args.end(), command.begin(), command.end());
    ChildProcess ctl;
    CtlOutput result;
    if (!ctl.Start(args, rig.PathOf("ctl.out"), rig.PathOf("ctl.err"), rig.Environment())) {
      return result;
    }
    result.exitCode = ctl.Wait(DriverRig::kAnswerMs);
    result.out = ReadBytes(rig.PathOf("ctl.out"));
    result.err = ReadBytes(rig.PathOf("ctl.err"));
    return result;
  }
  void StopProcessing() {
    const CurlReply stopped = Operation("stop-processing", "{}", "");
    ASSERT_EQ(stopped.status, 200) << stopped.body << rig.DriverMessages();
  }
  int CashIns() { return CountOf(rig.Ecr().Paper(), "INTRARE NUMERAR"); }

  const int port_;
  std::string token_;
};

TEST_F(OperationKeysTest, ACashInSentAgainUnderItsKeyPutsTheMoneyInOnce) {
  StopProcessing();
  EXPECT_EQ(Operation("cash-in", R"({"amount":"12.50"})", "").status, 400) << "a key is needed";
  const CurlReply first = Operation("cash-in", R"({"amount":"12.50"})", "drawer-1");
  ASSERT_EQ(first.status, 200) << first.body << rig.DriverMessages();
  EXPECT_EQ(first.headers.find("Idempotent-Replayed"), std::string::npos);
  const CurlReply again = Operation("cash-in", R"({"amount":"12.50"})", "drawer-1");
  EXPECT_EQ(again.status, 200) << again.body;
  EXPECT_EQ(again.Json(), first.Json());
  EXPECT_NE(again.headers.find("Idempotent-Replayed: true"), std::string::npos) << again.headers;
  const CurlReply other = Operation("cash-in", R"({"amount":"13.50"})", "drawer-1");
  EXPECT_EQ(other.status, 409) << other.body;
  EXPECT_EQ(other.Json()["type"], "urn:ruvo-drv:problem:key-reused");
  EXPECT_EQ(CashIns(), 1) << rig.Ecr().Paper();

  // A script's ctl gets the same safety; the key outlives a restart.
  EXPECT_EQ(Ctl({"cash-in", "--key", "script-7", "3,00"}).exitCode, 0);
  ASSERT_EQ(rig.StopDriver(), 0);
  ASSERT_TRUE(rig.RestartDriver()) << rig.DriverMessages();
  ReadToken();
  StopProcessing();
  const CtlOutput repeated = Ctl({"cash-in", "--key", "script-7", "3,00"});
  EXPECT_EQ(repeated.exitCode, 0) << repeated.err;
  EXPECT_NE(repeated.out.find("Raspuns pastrat"), std::string::npos) << repeated.out;
  EXPECT_EQ(Operation("cash-in", R"({"amount":"12.50"})", "drawer-1").status, 200);
  EXPECT_EQ(CashIns(), 2) << rig.Ecr().Paper();
}

// A till that gives up waiting and sends again while the first request still prints: the
// repeat is told to wait, and the report prints once.
TEST_F(OperationKeysTest, ARepeatWhileTheKeysOperationRunsIsToldToAskAgain) {
  StopProcessing();
  ASSERT_TRUE(rig.Ecr().Control("delay 400"));
  ChildProcess first;
  ASSERT_TRUE(
      first.Start({kCurl, "-sS", "--max-time", "60", "-o", rig.PathOf("first.out"), "-w",
                   "%{http_code}", "-H", "Authorization: Bearer " + token_, "-H",
                   "Idempotency-Key: x-once", "--data-binary", "", Url("/v1/operations/x-report")},
                  rig.PathOf("first-code.out"), rig.PathOf("first.err")));
  ASSERT_TRUE(WaitUntil(
      [&] {
        nlohmann::json status = RunCurl(rig.Folder(), {Url("/v1/status")}).Json();
        return status.is_object() && status["operation"].is_object() &&
               status["operation"].value("name", "") == "Raport X";
      },
      DriverRig::kAnswerMs))
      << rig.DriverMessages();
  const CurlReply repeated = Operation("x-report", "", "x-once");
  EXPECT_EQ(repeated.status, 409) << repeated.body;
  EXPECT_EQ(repeated.Json()["type"], "urn:ruvo-drv:problem:key-in-progress");
  ASSERT_EQ(first.Wait(60000), 0) << ReadBytes(rig.PathOf("first.err"));
  EXPECT_EQ(ReadBytes(rig.PathOf("first-code.out")), "200");
  const std::string paper = rig.Ecr().Paper();
  EXPECT_NE(paper.find("RAPORT X"), std::string::npos) << paper;
  const CurlReply after = Operation("x-report", "", "x-once");
  EXPECT_EQ(after.status, 200) << after.body;
  EXPECT_NE(after.headers.find("Idempotent-Replayed: true"), std::string::npos);
  EXPECT_EQ(rig.Ecr().Paper(), paper) << "printed once";
}

// kill -9 while the ECR holds the answer of a cash in: after the restart the repeat is
// answered from the ECR's daily totals, and the money goes in once.
TEST_F(OperationKeysTest, ACashInCutOffByAKillIsAnsweredTruthfullyAfterTheRestart) {
  StopProcessing();
  for (const std::string rule : {"after", "before"}) {
    const std::string key = "killed-" + rule;
    const int before = CashIns();
    const int lostBefore = CountOf(rig.Ecr().Messages(), "xruvo_sim: lost ");
    ASSERT_TRUE(rig.Ecr().Control("lose 7106 " + rule));
    ChildProcess first;
    ASSERT_TRUE(
        first.Start({kCurl, "-sS", "--max-time", "30", "-H", "Authorization: Bearer " + token_,
                     "-H", "Idempotency-Key: " + key, "-H", "Content-Type: application/json",
                     "--data-binary", R"({"amount":"7.00"})", Url("/v1/operations/cash-in")},
                    rig.PathOf("first.out"), rig.PathOf("first.err")));
    ASSERT_TRUE(
        WaitUntil([&] { return CountOf(rig.Ecr().Messages(), "xruvo_sim: lost ") > lostBefore; },
                  DriverRig::kAnswerMs))
        << rig.Ecr().Messages() << rig.DriverMessages();
    ASSERT_TRUE(rig.KillDriver());
    first.Wait(30000);
    ASSERT_TRUE(rig.RestartDriver()) << rig.DriverMessages();
    ReadToken();
    StopProcessing();
    const CurlReply repeated = Operation("cash-in", R"({"amount":"7.00"})", key);
    if (rule == "after") {
      EXPECT_EQ(repeated.status, 200) << repeated.body << rig.DriverMessages();
      EXPECT_EQ(CashIns(), before + 1) << rig.Ecr().Paper();
    } else {
      EXPECT_EQ(repeated.status, 502) << repeated.body << rig.DriverMessages();
      EXPECT_NE(repeated.body.find("nu a fost efectuata"), std::string::npos) << repeated.body;
      EXPECT_EQ(CashIns(), before) << rig.Ecr().Paper();
    }
    // The verdict is kept: asked again, it is given again and nothing is sent.
    EXPECT_EQ(Operation("cash-in", R"({"amount":"7.00"})", key).status, repeated.status);
    EXPECT_EQ(CashIns(), rule == "after" ? before + 1 : before);
    ASSERT_TRUE(rig.Ecr().Control("clear"));
  }
}

TEST_F(OperationKeysTest, AmountsAreExactAndControlCharactersNeverReachTheEcr) {
  StopProcessing();
  for (const std::string amount : {"2.505", "0", "0.004", "-1"}) {
    const CurlReply refused =
        Operation("cash-in", R"({"amount":")" + amount + R"("})", "amount-" + amount);
    EXPECT_EQ(refused.status, 422) << amount << refused.body;
    EXPECT_EQ(refused.Json()["field"], "amount") << amount;
  }
  const CtlOutput ctl = Ctl({"cash-out", "2,505"});
  EXPECT_EQ(ctl.exitCode, 1);
  EXPECT_EQ(ctl.err, "[Eroare] Suma eronata : cel mult doua zecimale !\n");
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "NUMERAR"), 0) << rig.Ecr().Paper();

  const CurlReply escaped = Operation("cash-in", R"({"amount":"1","reason":"A\u001b[2J"})", "esc");
  EXPECT_EQ(escaped.status, 422) << escaped.body;
  EXPECT_EQ(escaped.Json()["field"], "reason");

  ASSERT_EQ(Operation("start-processing", "{}", "").status, 200);
  const CurlReply httpEsc = Receipt("esc-1", "1;PAINE\x1b[2J;BUC;1;1;250;100000\n5;250;1\n", "");
  EXPECT_EQ(httpEsc.status, 422) << httpEsc.body;
  EXPECT_NE(httpEsc.body.find("campul 1"), std::string::npos) << httpEsc.body;
  const std::vector<std::string> answer =
      rig.Run("ONLINE.TXT", {std::string("1;PAINE\0ALBA;BUC;1;1;250;100000", 31), "5;250;1"});
  ASSERT_EQ(answer.size(), 2u);
  EXPECT_EQ(answer[1],
            "8053;Caracter de control nepermis (cod 0) in campul 1, pozitia 6 : "
            "1;PAINE?ALBA;BUC;1;1;250;100000");
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "PAINE"), 0) << rig.Ecr().Paper();
}

// Files dropped while processing is stopped, and an HTTP receipt among them, are printed
// in the order they came, not in the order the folder lists them.
TEST_F(OperationKeysTest, WaitingFilesAndHttpReceiptsArePrintedInTheOrderTheyArrived) {
  StopProcessing();
  auto sale = [](const std::string& article) {
    return ReceiptText({"1;" + article + ";BUC;1;1;100;100000", "5;100;1"});
  };
  auto later = [] { std::this_thread::sleep_for(std::chrono::milliseconds(30)); };
  ASSERT_TRUE(rig.Drop("ONLINE_Z.TXT", sale("PRIMUL")));
  later();
  ASSERT_TRUE(rig.Drop("ONLINE_M.TXT", sale("AL DOILEA")));
  later();
  const CurlReply queued =
      Receipt("order-1", "1;AL TREILEA;BUC;1;1;100;100000\n5;100;1\n", "?wait=0");
  ASSERT_EQ(queued.status, 202) << queued.body;
  later();
  ASSERT_TRUE(rig.Drop("ONLINE_A.TXT", sale("AL PATRULEA")));
  ASSERT_EQ(Operation("start-processing", "{}", "").status, 200);
  ASSERT_TRUE(rig.AwaitResponse("ONLINE_A.TXT", 4 * DriverRig::kAnswerMs)) << rig.DriverMessages();
  const CurlReply http = RunCurl(rig.Folder(), {"-H", "Authorization: Bearer " + token_,
                                                Url("/v1/receipts/order-1?wait=20")});
  EXPECT_EQ(http.status, 200) << http.body;

  const std::string paper = rig.Ecr().Paper();
  std::vector<std::size_t> at;
  for (const std::string article : {"PRIMUL", "AL DOILEA", "AL TREILEA", "AL PATRULEA"}) {
    at.push_back(paper.find(article));
    ASSERT_NE(at.back(), std::string::npos) << article << paper;
  }
  EXPECT_TRUE(at[0] < at[1] && at[1] < at[2] && at[2] < at[3]) << paper;
}

}  // namespace
}  // namespace ruvo::e2e
