// The checks before routing: the Host a request names, its browser origin, its token.
#include <gtest/gtest.h>

#include "http/RequestGuard.h"

namespace ruvo::http {
namespace {

const std::string kToken = "0123456789abcdef0123456789abcdef";

RequestGuard Guard() {
  return RequestGuard(AcceptedHosts("127.0.0.1:8765", true, false, {"till1"}),
                      {"http://localhost:3000"}, kToken);
}

HttpRequest Request(const std::string& host) {
  HttpRequest request;
  request.method = "POST";
  request.path = "/v1/receipts";
  request.headers["host"] = host;
  request.headers["authorization"] = "Bearer " + kToken;
  return request;
}

TEST(RequestGuardTest, TheHostMustNameThisServer) {
  EXPECT_EQ(AcceptedHosts("127.0.0.1:8765", true, false, {"till1"}),
            (std::vector<std::string>{"127.0.0.1:8765", "localhost:8765", "till1:8765"}));
  EXPECT_EQ(AcceptedHosts("192.168.1.2:80", false, false, {}),
            (std::vector<std::string>{"192.168.1.2:80"}));
  EXPECT_EQ(AcceptedHosts("localhost", true, true, {"x"}), (std::vector<std::string>{"localhost"}));

  const RequestGuard guard = Guard();
  for (const std::string host : {"127.0.0.1:8765", "LOCALHOST:8765", "till1:8765"}) {
    EXPECT_FALSE(guard.Refusal(Request(host), true)) << host;
  }
  // A rebound name, another port, no Host at all.
  for (const std::string host : {"evil.example:8765", "127.0.0.1:80", "localhost", ""}) {
    const auto refusal = guard.Refusal(Request(host), true);
    ASSERT_TRUE(refusal) << host;
    EXPECT_EQ(refusal->status, 421);
    EXPECT_EQ(refusal->Header("Content-Type"), "application/problem+json");
  }
}

TEST(RequestGuardTest, TheTokenIsCheckedUnlessTheRequestNeedsNone) {
  const RequestGuard guard = Guard();
  HttpRequest request = Request("127.0.0.1:8765");
  request.headers["authorization"] = "bearer  " + kToken + " ";
  EXPECT_FALSE(guard.Refusal(request, true));

  for (const std::string& authorization :
       std::vector<std::string>{std::string(), "Bearer", "Bearer " + kToken.substr(1),
                                "Bearer " + kToken + "0", "Basic " + kToken, kToken}) {
    request.headers["authorization"] = authorization;
    const auto refusal = guard.Refusal(request, true);
    ASSERT_TRUE(refusal) << authorization;
    EXPECT_EQ(refusal->status, 401);
    EXPECT_EQ(refusal->Header("WWW-Authenticate"), "Bearer realm=\"ruvo_drv\"");
    EXPECT_FALSE(guard.Refusal(request, false));
  }
  // A server without a token lets nobody in.
  const RequestGuard empty(AcceptedHosts("127.0.0.1:8765", true, false, {}), {}, "");
  request.headers["authorization"] = "Bearer ";
  EXPECT_TRUE(empty.Refusal(request, true));
}

TEST(RequestGuardTest, BrowsersOnlyFromListedOrigins) {
  const RequestGuard guard = Guard();
  HttpRequest request = Request("127.0.0.1:8765");
  request.headers["origin"] = "http://evil.example";
  const auto refusal = guard.Refusal(request, false);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->status, 403);

  request.headers["origin"] = "http://localhost:3000";
  EXPECT_FALSE(guard.Refusal(request, true));
  HttpResponse response;
  guard.AddCorsHeaders(request, response);
  EXPECT_EQ(response.Header("Access-Control-Allow-Origin"), "http://localhost:3000");
  EXPECT_EQ(response.Header("Vary"), "Origin");

  HttpRequest preflight = request;
  preflight.method = "OPTIONS";
  EXPECT_FALSE(RequestGuard::IsPreflight(preflight));
  preflight.headers["access-control-request-method"] = "POST";
  ASSERT_TRUE(RequestGuard::IsPreflight(preflight));
  const HttpResponse allowed = guard.Preflight(preflight);
  EXPECT_EQ(allowed.status, 204);
  EXPECT_NE(allowed.Header("Access-Control-Allow-Headers").find("Idempotency-Key"),
            std::string::npos);

  // Without an Origin (curl, a till's own program) no CORS header is added.
  HttpResponse plain;
  guard.AddCorsHeaders(Request("127.0.0.1:8765"), plain);
  EXPECT_TRUE(plain.headers.empty());
}

}  // namespace
}  // namespace ruvo::http
