// Manual operations through the API without a socket: the driver is played by a runner
// that records the control commands and answers as the control code would.
#include <gtest/gtest.h>

#include <map>

#include "console/ControlCommands.h"
#include "console/ControlCommandsKeyed.h"
#include "console/OperationFrame.h"
#include "http/HttpApi.h"
#include "platform/TempFolder.h"

namespace ruvo::http {
namespace {

const std::string kToken = "feedfacefeedfacefeedfacefeedface";
const std::string kHost = "127.0.0.1:8765";

class Keys final : public OperationKeyStore {
 public:
  bool ValidKey(const std::string&) const override { return true; }
  std::optional<OperationKeyRecord> Find(const std::string& key) override {
    const auto found = records.find(key);
    if (found == records.end()) return std::nullopt;
    return found->second;
  }
  bool Save(const OperationKeyRecord& record) override {
    records[record.key] = record;
    return true;
  }
  void Forget(const std::string& key) override { records.erase(key); }
  std::map<std::string, OperationKeyRecord> records;
};

class HttpOperationsTest : public ::testing::Test {
 protected:
  HttpOperationsTest()
      : receipts(folder.Path(), clock, 7),
        guard(AcceptedHosts(kHost, true, false, {}), {"http://till.local"}, kToken),
        api(
            receipts, guard, [] { return nlohmann::json::object(); }, 5,
            [this](const std::vector<std::string>& arguments) {
              ran.push_back(arguments);
              return answer;
            }) {}

  // With an Idempotency-Key unless key is empty.
  static HttpRequest Post(const std::string& name, const std::string& body = "{}",
                          const std::string& key = "k1") {
    HttpRequest request;
    request.method = "POST";
    request.path = "/v1/operations/" + name;
    request.headers = {{"host", kHost},
                       {"authorization", "Bearer " + kToken},
                       {"content-type", "application/json"}};
    if (!key.empty()) request.headers["idempotency-key"] = key;
    request.body = body;
    return request;
  }
  // Handle, then run what it kept, as the server does.
  HttpResponse Run(const HttpRequest& request) {
    const HttpApi::Outcome outcome = api.Handle(request);
    if (!outcome.operation) return outcome.response;
    std::optional<HttpResponse> response = api.RunOperation(request, *outcome.operation);
    EXPECT_TRUE(response);
    return response.value_or(HttpResponse{});
  }
  static nlohmann::json Json(const HttpResponse& response) {
    return nlohmann::json::parse(response.body);
  }

  ruvo::testing::TempFolder folder;
  VirtualClock clock;
  HttpReceipts receipts;
  RequestGuard guard;
  std::vector<std::vector<std::string>> ran;
  std::optional<ControlAnswer> answer = Succeeded({"[Ruvo_Drv] Raport X efectuat"});
  Keys keys;
  HttpApi api;
};

TEST_F(HttpOperationsTest, AnOperationIsKeptForTheServerThenRunAsItsControlCommand) {
  const HttpApi::Outcome outcome = api.Handle(Post("cash-in", R"({"amount":"12.50"})"));
  ASSERT_TRUE(outcome.operation);
  EXPECT_TRUE(ran.empty()) << "nothing runs inside the library's callback";

  answer = Succeeded({"Intrare numerar\r12.50", "gata"});
  const std::optional<HttpResponse> done =
      api.RunOperation(Post("cash-in", R"({"amount":"12.50"})"), *outcome.operation);
  ASSERT_TRUE(done);
  EXPECT_EQ(ran, (std::vector<std::vector<std::string>>{{"--key", "k1", "cash-in", "12.50"}}));
  EXPECT_EQ(done->status, 200);
  EXPECT_EQ(Json(*done),
            (nlohmann::json{{"ok", true}, {"lines", {"Intrare numerar", "12.50", "gata"}}}));

  // The driver's work holds it up: asked again later.
  answer = std::nullopt;
  EXPECT_FALSE(api.RunOperation(Post("x-report"), *outcome.operation));
}

TEST_F(HttpOperationsTest, EachRefusalHasItsStatusWithTheDriversTextAndLines) {
  // What the control command answers when the request's values were refused.
  const auto RefusedInput = [](std::vector<std::string> lines) {
    ControlAnswer refused = Failed(std::move(lines));
    refused.refused = true;
    return refused;
  };
  struct Case {
    std::string name;
    std::string body;
    ControlAnswer answer;
    int status;
    std::string slug;
  };
  const Case cases[] = {
      {"z-report", "{}", Failed({kStopProcessingFirst}), 409, "processing-running"},
      {"x-report", "{}", Failed({kOperationInProgress + "Raport zilnic"}), 409,
       "operation-running"},
      {"x-report", "{}", Failed({"[Atentie] " + kOperationInProgress + "Export XML"}), 409,
       "operation-running"},
      {"cancel-receipt", "{}",
       Failed(
           {"[Eroare] " + kInterruptedRunWaitsPrefix + "ONLINE1.TXT" + kInterruptedRunWaitsAdvice}),
       409, "interrupted-run"},
      {"cash-in", R"({"amount":"1"})", RefusedInput({"[Eroare] Suma eronata !"}), 422,
       "input-refused"},
      {"cash-in", R"({"amount":"1"})", Failed({"[Eroare] Sertar blocat \x96 verificati"}), 502,
       "operation-failed"},
      {"start-processing", "{}", Failed({"STOP PROCESARE"}), 502, "operation-failed"},
  };
  for (const Case& c : cases) {
    answer = c.answer;
    const HttpResponse response = Run(Post(c.name, c.body));
    EXPECT_EQ(response.status, c.status) << c.slug;
    EXPECT_EQ(response.Header("Content-Type"), "application/problem+json");
    const nlohmann::json body = Json(response);
    EXPECT_EQ(body["type"], "urn:ruvo-drv:problem:" + c.slug);
    EXPECT_FALSE(body["lines"].empty());
    EXPECT_EQ(body["detail"].get<std::string>().find('\r'), std::string::npos);
  }
  answer = Failed({kStopProcessingFirst});
  EXPECT_EQ(Json(Run(Post("z-report")))["detail"], kStopProcessingFirst);
  // The dash of the ECR's texts reaches the client as UTF-8.
  answer = Failed({"[Eroare] Sertar blocat \x96 verificati"});
  EXPECT_EQ(Json(Run(Post("cash-out", R"({"amount":"1"})")))["detail"],
            "[Eroare] Sertar blocat \xE2\x80\x93 verificati");
}

TEST_F(HttpOperationsTest, RefusedBeforeAnythingRunsWithoutTokenBadBodyOrWrongRoute) {
  HttpRequest anonymous = Post("z-report");
  anonymous.headers.erase("authorization");
  EXPECT_EQ(Run(anonymous).status, 401);
  HttpRequest foreign = Post("z-report");
  foreign.headers["host"] = "evil.example:8765";
  EXPECT_EQ(Run(foreign).status, 421);
  HttpRequest get = Post("z-report");
  get.method = "GET";
  EXPECT_EQ(Run(get).status, 405);
  EXPECT_EQ(Run(Post("logo", R"({"file":"/etc/shadow"})")).status, 404);
  EXPECT_EQ(Run(Post("format-disk")).status, 404);
  const HttpResponse unknownField = Run(Post("x-report", R"({"copies":2})"));
  EXPECT_EQ(unknownField.status, 422);
  EXPECT_EQ(Json(unknownField)["field"], "copies");
  EXPECT_TRUE(ran.empty());
}

TEST_F(HttpOperationsTest, KeysAreRequiredWhereARepeatWouldDoItTwiceAndTravelToTheDriver) {
  for (const std::string name : {"cash-in", "cash-out", "z-report", "x-report", "mf-report"}) {
    const HttpResponse missing = Run(Post(name, "{}", ""));
    EXPECT_EQ(missing.status, 400) << name;
    EXPECT_EQ(Json(missing)["type"], "urn:ruvo-drv:problem:key-missing") << name;
  }
  EXPECT_EQ(Run(Post("x-report", "{}", "bad key")).status, 400);
  EXPECT_EQ(Run(Post("x-report", "{}", std::string(129, 'k'))).status, 400);
  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(Run(Post("cancel-receipt", "{}", "")).status, 200) << "optional elsewhere";
  EXPECT_EQ(Run(Post("stop-processing", "{}", "s1")).status, 200);
  EXPECT_EQ(ran,
            (std::vector<std::vector<std::string>>{{"cancel-receipt"}, {"--key", "s1", "stop"}}));
}

TEST_F(HttpOperationsTest, KeyOutcomesHaveTheirStatusAndAReplayIsMarked) {
  answer = Succeeded({"gata"});
  answer->replayed = true;
  const HttpResponse replayed = Run(Post("x-report"));
  EXPECT_EQ(replayed.status, 200);
  EXPECT_EQ(replayed.Header("Idempotent-Replayed"), "true");
  const std::pair<KeyOutcome, std::pair<int, std::string>> outcomes[] =
      {{KeyOutcome::Reused, {409, "key-reused"}},
       {KeyOutcome::InProgress, {409, "key-in-progress"}},
       {KeyOutcome::NotSaved, {503, "not-saved"}},
       {KeyOutcome::Undetermined, {502, "outcome-unknown"}}};
  for (const auto& [outcome, expected] : outcomes) {
    answer = Failed({"de ce"});
    answer->key = outcome;
    const HttpResponse response = Run(Post("x-report"));
    EXPECT_EQ(response.status, expected.first);
    EXPECT_EQ(Json(response)["type"], "urn:ruvo-drv:problem:" + expected.second);
    EXPECT_EQ(response.Header("Idempotent-Replayed"), "");
  }
}

TEST_F(HttpOperationsTest, AnAmountOrATextThatCouldNotBeSentIsRefusedWithItsField) {
  const std::pair<std::string, std::string> refused[] = {{R"({"amount":"2.505"})", "amount"},
                                                         {R"({"amount":"0"})", "amount"},
                                                         {R"({"amount":"-5"})", "amount"},
                                                         {R"({"amount":"10000000"})", "amount"},
                                                         {R"({"amount":"5","reason":"A\u001bB"})",
                                                          "reason"},
                                                         {R"({"amount":"5","reason":"A\u0000B"})",
                                                          "reason"}};
  for (const auto& [body, field] : refused) {
    const HttpResponse response = Run(Post("cash-in", body));
    EXPECT_EQ(response.status, 422) << body;
    EXPECT_EQ(Json(response)["field"], field) << body;
  }
  EXPECT_NE(Json(Run(Post("cash-in", R"({"amount":"5","reason":"A\u001bB"})")))["detail"]
                .get<std::string>()
                .find("pozitia 2"),
            std::string::npos);
  EXPECT_TRUE(ran.empty());
}

TEST_F(HttpOperationsTest, AKeyIsEitherAReceiptsOrAnOperations) {
  std::string problem;
  ASSERT_TRUE(receipts.Open(problem)) << problem;
  HttpRequest receipt = Post("x", "");
  receipt.path = "/v1/receipts";
  receipt.query["wait"] = "0";
  receipt.headers["content-type"] = "text/plain";
  receipt.headers["idempotency-key"] = "shared";
  receipt.body = "1;PAINE;BUC;1;1;250;100000\n5;250;1\n";
  ASSERT_EQ(Run(receipt).status, 202);
  const HttpResponse operation = Run(Post("x-report", "{}", "shared"));
  EXPECT_EQ(operation.status, 409);
  EXPECT_TRUE(ran.empty());

  OperationKeyRecord record;
  record.key = "op-key";
  record.arguments = {"x-report"};
  keys.records[record.key] = record;
  UseOperationKeys(&keys);
  receipt.headers["idempotency-key"] = "op-key";
  EXPECT_EQ(Run(receipt).status, 409);
  UseOperationKeys(nullptr);
  EXPECT_EQ(receipts.Find("op-key"), nullptr);
}

TEST_F(HttpOperationsTest, AnAllowedOriginReadsTheAnswer) {
  HttpRequest request = Post("x-report");
  request.headers["origin"] = "http://till.local";
  const HttpResponse response = Run(request);
  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.Header("Access-Control-Allow-Origin"), "http://till.local");
}

}  // namespace
}  // namespace ruvo::http
