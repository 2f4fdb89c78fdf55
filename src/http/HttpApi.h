#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "http/HttpMessage.h"
#include "http/HttpReceipts.h"
#include "http/RequestGuard.h"

namespace ruvo::http {

// The API v1, without a socket: a request in, an answer out (or a wait for a receipt's
// answer, which the server does without blocking the loop).
//
//   POST /v1/receipts          a receipt, with "Idempotency-Key"; ?wait=SECONDS
//   GET  /v1/receipts/{key}    its state and answer; ?wait=SECONDS
//   GET  /v1/status            the driver's state (no token needed)
//
// Every request passes the guard (Host, Origin, token) first; errors are
// application/problem+json.
class HttpApi {
 public:
  using StatusSource = std::function<nlohmann::json()>;

  HttpApi(HttpReceipts& receipts, const RequestGuard& guard, StatusSource status,
          int defaultWaitSeconds);

  struct Outcome {
    HttpResponse response;  // when no wait
    // A receipt not yet answered that the client will wait for: the server asks
    // AfterWait once the key is answered or the time is up.
    std::optional<std::string> waitKey;
    std::int64_t waitMs = 0;
  };
  Outcome Handle(const HttpRequest& request);

  // The answer to a request that waited for key: its state now.
  HttpResponse AfterWait(const HttpRequest& request, const std::string& key);

  static inline const std::string kReceiptsPath = "/v1/receipts";
  static inline const std::string kStatusPath = "/v1/status";

 private:
  Outcome Route(const HttpRequest& request);
  Outcome PostReceipt(const HttpRequest& request);
  Outcome GetReceipt(const HttpRequest& request, const std::string& key);
  HttpResponse View(const KeyRecord& record, bool replayed) const;
  // The wait asked for (seconds in the query), or a refusal of a bad value.
  std::optional<int> WaitSeconds(const HttpRequest& request, int byDefault,
                                 HttpResponse& refusal) const;

  HttpReceipts& receipts_;
  const RequestGuard& guard_;
  StatusSource status_;
  int defaultWaitSeconds_;
};

}  // namespace ruvo::http
