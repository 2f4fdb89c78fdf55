#include "http/HttpApi.h"

#include "console/ControlCommandsKeyed.h"
#include "http/AnswerFields.h"
#include "http/HttpSettings.h"
#include "http/OperationAnswer.h"
#include "http/Problem.h"
#include "platform/Files.h"
#include "platform/IntegerText.h"
#include "platform/Text1250.h"

namespace ruvo::http {

namespace {

HttpApi::Outcome Now(HttpResponse response) {
  HttpApi::Outcome outcome;
  outcome.response = std::move(response);
  return outcome;
}

HttpResponse MethodNotAllowed(const std::string& allowed) {
  HttpResponse response = MakeProblem(405, "method-not-allowed", "Metoda nepermisa",
                                      "Aceasta adresa primeste doar " + allowed);
  response.SetHeader("Allow", allowed);
  return response;
}

const char* StateName(ReceiptState state) {
  switch (state) {
    case ReceiptState::Queued:
      return "queued";
    case ReceiptState::Running:
      return "running";
    case ReceiptState::Answered:
      return "answered";
  }
  return "queued";
}

}  // namespace

HttpApi::HttpApi(HttpReceipts& receipts, const RequestGuard& guard, StatusSource status,
                 int defaultWaitSeconds, OperationRunner runner)
    : receipts_(receipts),
      guard_(guard),
      status_(std::move(status)),
      defaultWaitSeconds_(defaultWaitSeconds),
      runner_(std::move(runner)) {}

HttpApi::Outcome HttpApi::Handle(const HttpRequest& request) {
  if (RequestGuard::IsPreflight(request)) {
    if (std::optional<HttpResponse> refusal = guard_.Refusal(request, false)) {
      return Now(std::move(*refusal));
    }
    return Now(guard_.Preflight(request));
  }
  Outcome outcome = Route(request);
  if (!outcome.waitKey && !outcome.operation) guard_.AddCorsHeaders(request, outcome.response);
  return outcome;
}

HttpApi::Outcome HttpApi::Route(const HttpRequest& request) {
  const bool status = request.path == kStatusPath;
  if (std::optional<HttpResponse> refusal =
          guard_.Refusal(request, !(status && request.method == "GET"))) {
    return Now(std::move(*refusal));
  }
  if (status) {
    if (request.method != "GET") return Now(MethodNotAllowed("GET"));
    return Now(MakeJson(200, status_()));
  }
  if (request.path == kReceiptsPath) {
    if (request.method != "POST") return Now(MethodNotAllowed("POST"));
    return PostReceipt(request);
  }
  const std::string prefix = kReceiptsPath + "/";
  if (request.path.rfind(prefix, 0) == 0) {
    if (request.method != "GET") return Now(MethodNotAllowed("GET"));
    return GetReceipt(request, request.path.substr(prefix.size()));
  }
  const std::string operations = kOperationsPath + "/";
  if (request.path.rfind(operations, 0) == 0 && request.path.size() > operations.size()) {
    if (request.method != "POST") return Now(MethodNotAllowed("POST"));
    return PostOperation(request, request.path.substr(operations.size()));
  }
  return Now(MakeProblem(404, "not-found", "Adresa necunoscuta", "Nu exista " + request.path));
}

std::optional<int> HttpApi::WaitSeconds(const HttpRequest& request, int byDefault,
                                        HttpResponse& refusal) const {
  const auto found = request.query.find("wait");
  if (found == request.query.end()) return byDefault;
  const std::string& text = found->second;
  const bool digits = text.find_first_not_of("0123456789") == std::string::npos;
  const std::optional<std::int32_t> seconds = digits ? ParseInt32(text) : std::nullopt;
  if (!seconds || *seconds > HttpSettings::kMaxWaitSeconds) {
    refusal = MakeProblem(400, "bad-wait", "Asteptare gresita",
                          "wait este un numar de secunde intre 0 si " +
                              std::to_string(HttpSettings::kMaxWaitSeconds));
    return std::nullopt;
  }
  return *seconds;
}

HttpResponse HttpApi::DamagedKeyProblem(const std::string& key) const {
  return MakeProblem(503, "key-record-damaged", "Inregistrarea cheii este deteriorata",
                     "Inregistrarea cheii \"" + key + "\" (" + receipts_.DamagedRecordOf(key) +
                         ") este deteriorata; nimic nu s-a tiparit acum. Operatorul verifica "
                         "la casa de marcat daca bonul a fost emis si sterge inregistrarea",
                     {{"key", key}});
}

HttpApi::Outcome HttpApi::PostReceipt(const HttpRequest& request) {
  if (!request.HasHeader("idempotency-key")) {
    return Now(MakeProblem(400, "key-missing", "Lipseste Idempotency-Key",
                           "Fiecare bon se trimite cu antetul Idempotency-Key, unic pentru "
                           "bon; repetati cererea cu aceeasi cheie, niciodata cu alta"));
  }
  const std::string key = request.Header("idempotency-key");
  if (!ValidKey(key)) {
    return Now(MakeProblem(400, "key-invalid", "Idempotency-Key gresita",
                           "Cheia are 1..128 caractere A-Z a-z 0-9 - _ . ~ :"));
  }
  HttpResponse refusal;
  const std::optional<int> wait = WaitSeconds(request, defaultWaitSeconds_, refusal);
  if (!wait) return Now(refusal);
  if (OperationKeyStore* operations = OperationKeys();
      operations != nullptr && receipts_.Find(key) == nullptr && operations->Find(key)) {
    return Now(MakeProblem(409, "key-reused", "Cheie folosita pentru o operatie",
                           "Idempotency-Key \"" + key +
                               "\" a fost trimisa cu o operatie; nimic nu s-a tiparit acum",
                           {{"key", key}}));
  }
  const BodyParse parse = ParseReceiptBody(request.Header("content-type"), request.body);
  if (!parse.body) {
    return Now(MakeProblem(parse.refusal.status, parse.refusal.slug, parse.refusal.title,
                           parse.refusal.detail));
  }
  const HttpReceipts::Submitted submitted = receipts_.Submit(key, *parse.body);
  if (submitted == HttpReceipts::Submitted::Conflict) {
    return Now(MakeProblem(409, "key-reused", "Cheie folosita pentru alt bon",
                           "Idempotency-Key \"" + key +
                               "\" a fost trimisa cu alt bon; nimic nu s-a tiparit acum",
                           {{"key", key}}));
  }
  if (submitted == HttpReceipts::Submitted::Damaged) return Now(DamagedKeyProblem(key));
  if (submitted == HttpReceipts::Submitted::NotSaved) {
    return Now(MakeProblem(503, "not-saved", "Bonul nu a putut fi inregistrat",
                           "Driverul nu poate scrie in folderul de lucru; nimic nu s-a "
                           "tiparit. Repetati cererea cu aceeasi cheie"));
  }
  const KeyRecord& record = *receipts_.Find(key);
  const bool replayed = submitted == HttpReceipts::Submitted::Repeated;
  if (record.Answered() || *wait == 0) return Now(View(record, replayed));
  Outcome outcome;
  outcome.waitKey = key;
  outcome.waitMs = static_cast<std::int64_t>(*wait) * 1000;
  outcome.replayed = replayed;
  return outcome;
}

HttpApi::Outcome HttpApi::GetReceipt(const HttpRequest& request, const std::string& key) {
  if (ValidKey(key) && !receipts_.DamagedRecordOf(key).empty()) {
    return Now(DamagedKeyProblem(key));
  }
  const KeyRecord* record = ValidKey(key) ? receipts_.Find(key) : nullptr;
  if (record == nullptr) {
    return Now(MakeProblem(404, "key-unknown", "Cheie necunoscuta",
                           "Niciun bon cu aceasta Idempotency-Key (sau a fost uitat)"));
  }
  HttpResponse refusal;
  const std::optional<int> wait = WaitSeconds(request, 0, refusal);
  if (!wait) return Now(refusal);
  if (record->Answered() || *wait == 0) return Now(View(*record, false));
  Outcome outcome;
  outcome.waitKey = key;
  outcome.waitMs = static_cast<std::int64_t>(*wait) * 1000;
  return outcome;
}

namespace {

// The operations that change the drawer or the fiscal day, or print a report: sent again
// after a lost answer, each would do it twice.
bool KeyRequired(const std::string& name) {
  return name == "cash-in" || name == "cash-out" || name == "z-report" || name == "x-report" ||
         name == "mf-report";
}

}  // namespace

HttpApi::Outcome HttpApi::PostOperation(const HttpRequest& request, const std::string& name) {
  const bool keyGiven = request.HasHeader("idempotency-key");
  const std::string key = request.Header("idempotency-key");
  if (!keyGiven && KeyRequired(name)) {
    return Now(MakeProblem(400, "key-missing", "Lipseste Idempotency-Key",
                           "Operatia " + name +
                               " se trimite cu antetul Idempotency-Key, unic pentru operatie; "
                               "repetati cererea cu aceeasi cheie, niciodata cu alta"));
  }
  if (keyGiven && !ValidKey(key)) {
    return Now(MakeProblem(400, "key-invalid", "Idempotency-Key gresita",
                           "Cheia are 1..128 caractere A-Z a-z 0-9 - _ . ~ :"));
  }
  if (keyGiven && receipts_.Find(key) != nullptr) {
    return Now(MakeProblem(409, "key-reused", "Cheie folosita pentru un bon",
                           "Idempotency-Key \"" + key +
                               "\" a fost trimisa cu un bon; nimic nu a rulat acum",
                           {{"key", key}}));
  }
  OperationParse parse = ParseOperation(name, request.Header("content-type"), request.body);
  if (!parse.call) {
    nlohmann::json extra = nlohmann::json::object();
    if (!parse.field.empty()) extra["field"] = parse.field;
    return Now(MakeProblem(parse.refusal.status, parse.refusal.slug, parse.refusal.title,
                           parse.refusal.detail, extra));
  }
  if (keyGiven) {
    parse.call->arguments.insert(parse.call->arguments.begin(), {"--key", key});
  }
  Outcome outcome;
  outcome.operation = std::move(parse.call);
  return outcome;
}

std::optional<HttpResponse> HttpApi::RunOperation(const HttpRequest& request,
                                                  const OperationCall& call) {
  HttpResponse response;
  try {
    const std::optional<ControlAnswer> answer = runner_(call.arguments);
    if (!answer) return std::nullopt;
    response = OperationResponse(*answer);
  } catch (...) {
    // Only memory can run out here; the request gets an answer and the driver goes on.
    response = MakeProblem(500, "internal", "Eroare interna", "Operatia nu a putut fi rulata");
  }
  guard_.AddCorsHeaders(request, response);
  return response;
}

HttpResponse HttpApi::AfterWait(const HttpRequest& request, const std::string& key, bool replayed) {
  const KeyRecord* record = receipts_.Find(key);
  HttpResponse response = record != nullptr ? View(*record, replayed)
                                            : MakeProblem(404, "key-unknown", "Cheie necunoscuta",
                                                          "Niciun bon cu aceasta Idempotency-Key");
  guard_.AddCorsHeaders(request, response);
  return response;
}

HttpResponse HttpApi::View(const KeyRecord& record, bool replayed) const {
  const ReceiptState state = receipts_.StateOf(record);
  nlohmann::json body = {{"key", record.key}, {"state", StateName(state)}};
  HttpResponse response;
  if (state != ReceiptState::Answered) {
    response = MakeJson(202, body);
  } else {
    const ReceiptAnswer answer = HttpReceipts::AnswerOf(record);
    body["answer"] = AnswerJson(answer);
    const int status = AnswerStatus(answer);
    if (status == 200) {
      response = MakeJson(200, body);
    } else {
      nlohmann::json extra = body;
      extra["code"] = answer.code ? nlohmann::json(*answer.code) : nlohmann::json();
      response = MakeProblem(status, status == 422 ? "receipt-refused" : "ecr-failed",
                             status == 422 ? "Bon refuzat" : "Casa de marcat nu a executat bonul",
                             Utf8From1250(answer.message), extra);
    }
  }
  response.SetHeader("Location", kReceiptsPath + "/" + record.key);
  if (replayed) response.SetHeader("Idempotent-Replayed", "true");
  return response;
}

}  // namespace ruvo::http
