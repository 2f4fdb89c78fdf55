#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "console/ControlProtocol.h"
#include "http/HttpMessage.h"
#include "http/HttpReceipts.h"
#include "http/OperationBody.h"
#include "http/RequestGuard.h"

namespace ruvo::http {

// The API v1, without a socket: a request in, an answer out (or a wait for a receipt's
// answer, which the server does without blocking the loop).
//
//   POST /v1/receipts          a receipt, with "Idempotency-Key"; ?wait=SECONDS
//   GET  /v1/receipts/{key}    its state and answer; ?wait=SECONDS
//   GET  /v1/status            the driver's state (no token needed)
//   POST /v1/operations/{name} a manual operation, as `ruvo_drv ctl` runs it
//
// Every request passes the guard (Host, Origin, token) first; errors are
// application/problem+json.
class HttpApi {
 public:
  using StatusSource = std::function<nlohmann::json()>;
  // Runs a control command on the driver; nullopt when the driver's work holds it up and
  // it must be asked again later (ServeControlRequest).
  using OperationRunner =
      std::function<std::optional<ControlAnswer>(const std::vector<std::string>& arguments)>;

  HttpApi(HttpReceipts& receipts, const RequestGuard& guard, StatusSource status,
          int defaultWaitSeconds, OperationRunner runner);

  struct Outcome {
    HttpResponse response;  // when no wait
    // A receipt not yet answered that the client will wait for: the server asks
    // AfterWait once the key is answered or the time is up.
    std::optional<std::string> waitKey;
    std::int64_t waitMs = 0;
    bool replayed = false;  // the wait is a repeat's: its answer is marked replayed
    // A manual operation to run: never inside the server library's callback (it talks to
    // the ECR for seconds and serves the loop meanwhile), so the server keeps the request
    // and asks RunOperation once the library has returned.
    std::optional<OperationCall> operation;
  };
  Outcome Handle(const HttpRequest& request);

  // Runs the operation of a request Handle kept; nullopt while the driver's work holds it
  // up (ask again later).
  std::optional<HttpResponse> RunOperation(const HttpRequest& request, const OperationCall& call);

  // The CORS headers an allowed origin needs to read an answer the server gives itself.
  void AddCorsHeaders(const HttpRequest& request, HttpResponse& response) const {
    guard_.AddCorsHeaders(request, response);
  }

  // The answer to a request that waited for key: its state now.
  HttpResponse AfterWait(const HttpRequest& request, const std::string& key, bool replayed);

  static inline const std::string kReceiptsPath = "/v1/receipts";
  static inline const std::string kStatusPath = "/v1/status";
  static inline const std::string kOperationsPath = "/v1/operations";

 private:
  Outcome Route(const HttpRequest& request);
  Outcome PostReceipt(const HttpRequest& request);
  Outcome GetReceipt(const HttpRequest& request, const std::string& key);
  Outcome PostOperation(const HttpRequest& request, const std::string& name);
  HttpResponse View(const KeyRecord& record, bool replayed) const;
  // 503 for a key whose record is damaged: nothing prints until the operator settles it.
  HttpResponse DamagedKeyProblem(const std::string& key) const;
  // The wait asked for (seconds in the query), or a refusal of a bad value.
  std::optional<int> WaitSeconds(const HttpRequest& request, int byDefault,
                                 HttpResponse& refusal) const;

  HttpReceipts& receipts_;
  const RequestGuard& guard_;
  StatusSource status_;
  int defaultWaitSeconds_;
  OperationRunner runner_;
};

}  // namespace ruvo::http
