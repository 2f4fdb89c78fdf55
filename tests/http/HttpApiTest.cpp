// The API without a socket: routing, the key rules, the answers and their problems. The
// receipt file cycle is played by the test, as in HttpReceiptsTest.
#include <memory>

#include <gtest/gtest.h>

#include "http/HttpApi.h"
#include "platform/AtomicFile.h"
#include "platform/Files.h"
#include "platform/TempFolder.h"

namespace ruvo::http {
namespace {

const std::string kToken = "feedfacefeedfacefeedfacefeedface";
const std::string kHost = "127.0.0.1:8765";
const std::string kSale = "1;PAINE;BUC;1;1;250;100000\n5;250;1\n";

class HttpApiTest : public ::testing::Test {
 protected:
  HttpApiTest()
      : receipts(folder.Path(), clock, 7),
        guard(AcceptedHosts(kHost, true, false, {}), {"http://till.local"}, kToken),
        api(
            receipts, guard,
            [] {
              return nlohmann::json{{"stare", "START PROCESARE"}};
            },
            5, [](const std::vector<std::string>&) { return std::nullopt; }) {
    std::string problem;
    EXPECT_TRUE(receipts.Open(problem)) << problem;
  }

  static HttpRequest Post(const std::string& key, const std::string& body,
                          const std::string& type = "text/plain") {
    HttpRequest request;
    request.method = "POST";
    request.path = "/v1/receipts";
    request.headers = {{"host", kHost},
                       {"authorization", "Bearer " + kToken},
                       {"content-type", type}};
    if (!key.empty()) request.headers["idempotency-key"] = key;
    request.query["wait"] = "0";
    request.body = body;
    return request;
  }
  static HttpRequest Get(const std::string& path) {
    HttpRequest request;
    request.method = "GET";
    request.path = path;
    request.headers = {{"host", kHost}, {"authorization", "Bearer " + kToken}};
    return request;
  }
  static nlohmann::json Json(const HttpResponse& response) {
    return nlohmann::json::parse(response.body);
  }
  // What the cycle does with a key's receipt: the response file, the answer kept, the
  // receipt file gone. refused: the answer of a file refused before printing.
  void CycleAnswers(const std::string& key, const std::string& response, bool refused = false) {
    ReceiptAnswer answer = AnswerOfLines(SplitLines(response));
    if (refused) answer.outcome = AnswerOutcome::Refused;
    ASSERT_TRUE(WriteFileAtomic(folder / ("ERROR" + ChannelOf(key) + ".TXT"), response));
    std::string failedPath;
    ASSERT_TRUE(receipts.Keep(ChannelOf(key), answer, failedPath));
    ASSERT_TRUE(DeleteFile(folder / ("ONLINE" + ChannelOf(key) + ".TXT")));
    receipts.Advance();
  }

  ruvo::testing::TempFolder folder;
  VirtualClock clock;
  HttpReceipts receipts;
  RequestGuard guard;
  HttpApi api;
};

TEST_F(HttpApiTest, AReceiptIsAcceptedThenAnsweredWithItsFieldsAndTheSameKeyNeverPrintsAgain) {
  const HttpApi::Outcome accepted = api.Handle(Post("sale-1", kSale));
  ASSERT_FALSE(accepted.waitKey);
  EXPECT_EQ(accepted.response.status, 202);
  EXPECT_EQ(accepted.response.Header("Location"), "/v1/receipts/sale-1");
  EXPECT_EQ(Json(accepted.response)["state"], "queued");
  EXPECT_TRUE(FileExists(folder / ("ONLINE" + ChannelOf("sale-1") + ".TXT")));

  CycleAnswers("sale-1", "0 OK\r\nBON FISCAL NR. 0001\r\n");
  const HttpApi::Outcome polled = api.Handle(Get("/v1/receipts/sale-1"));
  EXPECT_EQ(polled.response.status, 200);
  const nlohmann::json body = Json(polled.response);
  EXPECT_EQ(body["state"], "answered");
  EXPECT_EQ(body["answer"]["lines"], nlohmann::json({"0 OK", "BON FISCAL NR. 0001"}));
  EXPECT_EQ(body["answer"]["receipt"]["number"], "0001");

  // The same key and body: the first answer, said to be a replay, and no new file.
  const HttpApi::Outcome again =
      api.Handle(Post("sale-1", "1;PAINE;BUC;1;1;250;100000\r\n5;250;1"));
  EXPECT_EQ(again.response.status, 200);
  EXPECT_EQ(again.response.Header("Idempotent-Replayed"), "true");
  EXPECT_EQ(Json(again.response)["answer"], body["answer"]);
  EXPECT_FALSE(FileExists(folder / ("ONLINE" + ChannelOf("sale-1") + ".TXT")));

  // The same key with another receipt: 409, nothing sent.
  const HttpApi::Outcome other =
      api.Handle(Post("sale-1", "1;LAPTE;BUC;1;1;250;100000\n5;250;1\n"));
  EXPECT_EQ(other.response.status, 409);
  EXPECT_EQ(other.response.Header("Content-Type"), "application/problem+json");
  EXPECT_EQ(Json(other.response)["type"], "urn:ruvo-drv:problem:key-reused");
  EXPECT_FALSE(FileExists(folder / ("ONLINE" + ChannelOf("sale-1") + ".TXT")));
}

TEST_F(HttpApiTest, WaitingIsLeftToTheServerWithItsTime) {
  HttpRequest request = Post("w-1", kSale);
  request.query.erase("wait");
  const HttpApi::Outcome byDefault = api.Handle(request);
  ASSERT_TRUE(byDefault.waitKey);
  EXPECT_EQ(*byDefault.waitKey, "w-1");
  EXPECT_EQ(byDefault.waitMs, 5000);
  EXPECT_EQ(api.AfterWait(request, "w-1", false).status, 202);
  // A repeat of the same key that waits too: its answer, when it comes, is a replay.
  const HttpApi::Outcome repeat = api.Handle(request);
  ASSERT_TRUE(repeat.waitKey);
  EXPECT_TRUE(repeat.replayed);
  EXPECT_FALSE(byDefault.replayed);

  HttpRequest poll = Get("/v1/receipts/w-1");
  poll.query["wait"] = "30";
  const HttpApi::Outcome waited = api.Handle(poll);
  ASSERT_TRUE(waited.waitKey);
  EXPECT_EQ(waited.waitMs, 30000);
  CycleAnswers("w-1", "0 OK\r\n");
  EXPECT_EQ(api.AfterWait(poll, "w-1", false).status, 200);
  // Answered already: no wait.
  EXPECT_FALSE(api.Handle(poll).waitKey);

  for (const std::string bad : {"-1", "+5", "x", "61", "1000", "", "99999999999999999999"}) {
    poll.query["wait"] = bad;
    const HttpResponse refused = api.Handle(poll).response;
    EXPECT_EQ(refused.status, 400) << bad;
    EXPECT_EQ(Json(refused)["type"], "urn:ruvo-drv:problem:bad-wait") << bad;
  }
  // The same rule for a new receipt, which is then not written.
  HttpRequest huge = Post("w-2", kSale);
  huge.query["wait"] = "99999999999999999999";
  EXPECT_EQ(api.Handle(huge).response.status, 400);
  EXPECT_EQ(receipts.Find("w-2"), nullptr);
}

TEST_F(HttpApiTest, RefusedReceiptsAreProblemsWithTheDriversCodeAndTheWholeAnswer) {
  api.Handle(Post("bad-1", "31;X\n"));
  CycleAnswers("bad-1", "1 ERROR\r\n8046;Cod operator nenumeric: 31;X\r\n", true);
  const HttpResponse refused = api.Handle(Get("/v1/receipts/bad-1")).response;
  EXPECT_EQ(refused.status, 422);
  EXPECT_EQ(refused.Header("Content-Type"), "application/problem+json");
  const nlohmann::json problem = Json(refused);
  EXPECT_EQ(problem["code"], 8046);
  EXPECT_EQ(problem["detail"], "Cod operator nenumeric: 31;X");
  EXPECT_EQ(problem["answer"]["lines"][0], "1 ERROR");
  EXPECT_EQ(problem["state"], "answered");

  // The ECR's own failures, and no answer from it at all, are the gateway's.
  api.Handle(Post("ecr-1", kSale));
  CycleAnswers("ecr-1", " NU POT COMUNICA CU CASA DE MARCAT\r\n");
  const HttpResponse silent = api.Handle(Get("/v1/receipts/ecr-1")).response;
  EXPECT_EQ(silent.status, 502);
  EXPECT_TRUE(Json(silent)["code"].is_null());

  // A code too large for a number is no code: the line is the message.
  api.Handle(Post("big-1", kSale));
  CycleAnswers("big-1", "1 ERROR\r\n99999999999999999999;Eroare\r\n");
  const HttpResponse big = api.Handle(Get("/v1/receipts/big-1")).response;
  EXPECT_EQ(big.status, 502);
  EXPECT_TRUE(Json(big)["code"].is_null());
  EXPECT_EQ(Json(big)["detail"], "99999999999999999999;Eroare");
}

TEST_F(HttpApiTest, RequestsThatCannotBeTakenAreRefusedBeforeAnythingIsWritten) {
  EXPECT_EQ(api.Handle(Post("", kSale)).response.status, 400);
  EXPECT_EQ(Json(api.Handle(Post("", kSale)).response)["type"], "urn:ruvo-drv:problem:key-missing");
  EXPECT_EQ(api.Handle(Post("a/b", kSale)).response.status, 400);
  EXPECT_EQ(api.Handle(Post("k", kSale, "application/xml")).response.status, 415);
  const HttpResponse comma = api.Handle(Post("k", "2;MU\xC8\x99TAR\n")).response;
  EXPECT_EQ(comma.status, 422);
  EXPECT_NE(Json(comma)["detail"].get<std::string>().find("U+0219"), std::string::npos);
  EXPECT_EQ(receipts.Find("k"), nullptr);
  EXPECT_EQ(receipts.WaitingCount(), 0u);

  HttpRequest noToken = Post("k", kSale);
  noToken.headers.erase("authorization");
  EXPECT_EQ(api.Handle(noToken).response.status, 401);
  HttpRequest foreign = Post("k", kSale);
  foreign.headers["host"] = "rebound.example:8765";
  EXPECT_EQ(api.Handle(foreign).response.status, 421);
  EXPECT_EQ(receipts.Find("k"), nullptr);
}

TEST_F(HttpApiTest, RoutesMethodsAndTheStatusWithoutAToken) {
  HttpRequest status = Get("/v1/status");
  status.headers.erase("authorization");
  const HttpResponse open = api.Handle(status).response;
  EXPECT_EQ(open.status, 200);
  EXPECT_EQ(Json(open)["stare"], "START PROCESARE");
  // Still only for this server's Host.
  status.headers["host"] = "evil.example";
  EXPECT_EQ(api.Handle(status).response.status, 421);

  EXPECT_EQ(api.Handle(Get("/v1/receipts/unknown")).response.status, 404);
  EXPECT_EQ(api.Handle(Get("/v1/nothing")).response.status, 404);
  const HttpResponse getList = api.Handle(Get("/v1/receipts")).response;
  EXPECT_EQ(getList.status, 405);
  EXPECT_EQ(getList.Header("Allow"), "POST");
  HttpRequest deleteOne = Get("/v1/receipts/x");
  deleteOne.method = "DELETE";
  EXPECT_EQ(api.Handle(deleteOne).response.status, 405);

  // A browser of a listed origin: its preflight and the headers to read the answer.
  HttpRequest preflight = Get("/v1/receipts");
  preflight.method = "OPTIONS";
  preflight.headers.erase("authorization");
  preflight.headers["origin"] = "http://till.local";
  preflight.headers["access-control-request-method"] = "POST";
  EXPECT_EQ(api.Handle(preflight).response.status, 204);
  HttpRequest fromPage = Get("/v1/status");
  fromPage.headers["origin"] = "http://till.local";
  EXPECT_EQ(api.Handle(fromPage).response.Header("Access-Control-Allow-Origin"),
            "http://till.local");
  fromPage.headers["origin"] = "http://other.example";
  EXPECT_EQ(api.Handle(fromPage).response.status, 403);
}

}  // namespace
}  // namespace ruvo::http
