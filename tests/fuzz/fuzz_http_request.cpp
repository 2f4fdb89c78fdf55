// libFuzzer target for what the HTTP API adds to the server library: routing, the Host,
// Origin and token checks, the key rules, ?wait=, the body's conversion to Windows-1250
// lines, a key's record file read back from disk and an answer file turned into JSON. The
// API runs whole on a scratch working folder, without a socket.
//
// Input, in parts separated by NUL bytes:
//   0  the request: "METHOD /path?query" on the first line, then "Name: value" lines
//   1  the body
//   2  a key's record file, as a damaged or foreign disk may hold it
//   3  the response file the receipt file cycle answers the request's receipt with
// Checked beyond crashes: every answer is JSON (problem+json for errors) with a status the
// API knows; a request that fails the Host or token check writes nothing; a record that
// reads back writes back the same; an accepted body is lines the code page round-trips.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzParts.h"
#include "http/HttpApi.h"
#include "http/KeyRecord.h"
#include "http/ReceiptBody.h"
#include "platform/AtomicFile.h"
#include "platform/Files.h"
#include "platform/Text1250.h"

namespace {

using ruvo::fuzz::SplitAtNul;

using namespace ruvo;
using namespace ruvo::http;

const std::string kToken = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
const std::string kHost = "127.0.0.1:8765";

std::string TrimmedLeft(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  return first == std::string::npos ? "" : text.substr(first);
}

// The request as the server library hands it over: header names in lower case, the first
// of a header or a query argument given twice counts.
HttpRequest ParseRequest(const std::string& head) {
  HttpRequest request;
  const std::vector<std::string> lines = SplitLines(head);
  if (lines.empty()) return request;
  const std::string& first = lines[0];
  const std::size_t space = first.find(' ');
  request.method = first.substr(0, space);
  const std::string target = space == std::string::npos ? "" : first.substr(space + 1);
  const std::size_t question = target.find('?');
  request.path = target.substr(0, question);
  if (question != std::string::npos) {
    const std::string query = target.substr(question + 1);
    std::size_t start = 0;
    while (start <= query.size()) {
      std::size_t end = query.find('&', start);
      if (end == std::string::npos) end = query.size();
      const std::string argument = query.substr(start, end - start);
      const std::size_t equals = argument.find('=');
      request.query.emplace(argument.substr(0, equals),
                            equals == std::string::npos ? "" : argument.substr(equals + 1));
      start = end + 1;
    }
  }
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::size_t colon = lines[i].find(':');
    if (colon == std::string::npos) continue;
    request.headers.emplace(LowerAscii(lines[i].substr(0, colon)),
                            TrimmedLeft(lines[i].substr(colon + 1)));
  }
  return request;
}

// The scratch working folder: made once in $TMPDIR (scripts/fuzz.sh points it into the
// build tree), emptied before every input, removed when the run ends. Kept on the heap so
// that it outlives the static objects the exit destroys before the removal runs.
const std::string& Folder() {
  static const std::string* folder = [] {
    const char* base = std::getenv("TMPDIR");
    auto* made = new std::string(std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                                 "/ruvo-fuzz-http-XXXXXX");
    if (::mkdtemp(made->data()) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(Folder(), ignored);
    });
    return made;
  }();
  return *folder;
}

void EmptyFolder(const std::string& folder) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
    std::filesystem::remove_all(entry.path(), ignored);
  }
}

const std::set<int> kStatuses = {200, 202, 204, 400, 401, 403, 404,
                                 405, 409, 415, 421, 422, 502, 503};

void CheckResponse(const HttpResponse& response) {
  if (kStatuses.count(response.status) == 0) __builtin_trap();
  if (response.status == 204) return;
  const nlohmann::json body = nlohmann::json::parse(response.body, nullptr, false);
  if (body.is_discarded() || !body.is_object()) __builtin_trap();
  const bool problem = response.Header("Content-Type") == "application/problem+json";
  if (problem != (response.status >= 400)) __builtin_trap();
  if (problem && (body.value("status", 0) != response.status || !body.contains("type"))) {
    __builtin_trap();
  }
}

void CheckBody(const std::string& contentType, const std::string& body) {
  const BodyParse parse = ParseReceiptBody(contentType, body);
  if (!parse.body) {
    const int status = parse.refusal.status;
    if ((status != 400 && status != 415 && status != 422) || parse.refusal.detail.empty()) {
      __builtin_trap();
    }
    return;
  }
  // Each line is one line of the receipt file, and says what was sent.
  for (const std::string& line : parse.body->lines) {
    if (line.find_first_of("\r\n") != std::string::npos) __builtin_trap();
    if (Utf8To1250(Utf8From1250(line)) != line) __builtin_trap();
  }
}

// A record that reads back writes back as the same record.
void CheckRecord(const KeyRecord& record) {
  const std::optional<KeyRecord> again = DecodeRecord(EncodeRecord(record));
  if (!again || again->key != record.key || again->bodyHash != record.bodyHash ||
      again->createdS != record.createdS || again->receipt != record.receipt ||
      again->answer != record.answer || again->answeredS != record.answeredS) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> parts =
      SplitAtNul(std::string_view(reinterpret_cast<const char*>(data), size));
  HttpRequest request = ParseRequest(parts[0]);
  if (parts.size() > 1) request.body = parts[1];
  const std::string& folder = Folder();
  EmptyFolder(folder);
  CheckBody(request.Header("content-type"), request.body);

  // A record file on disk before the start. The start reads each with DecodeRecord and
  // leaves one that does not read back alone, logging it (too loud at every input): only
  // one that reads back is put there.
  if (parts.size() > 2) {
    if (const std::optional<KeyRecord> record = DecodeRecord(parts[2])) {
      CheckRecord(*record);
      CreateFolders(JoinPath(folder, HttpReceipts::kFolderName));
      WriteFileAtomic(JoinPath(JoinPath(folder, HttpReceipts::kFolderName),
                               KeyId(record->key) + ".key"),
                      parts[2]);
    }
  }

  VirtualClock clock;
  HttpReceipts receipts(folder, clock, 7);
  std::string problem;
  if (!receipts.Open(problem)) __builtin_trap();
  const RequestGuard guard(AcceptedHosts(kHost, true, false, {}), {"http://till.local"}, kToken);
  HttpApi api(
      receipts, guard,
      [] {
        return nlohmann::json{{"stare", "START PROCESARE"}};
      },
      5,
      // The manual operations' stand-in: refused or done by the count of their arguments,
      // their lines the arguments themselves, so every answer's shape is reached.
      [](const std::vector<std::string>& arguments) -> std::optional<ControlAnswer> {
        ControlAnswer answer{arguments.size() % 2 == 0, arguments};
        answer.refused = arguments.size() % 3 == 0;
        return answer;
      });

  const std::size_t recordsBefore =
      ListMatching(JoinPath(folder, HttpReceipts::kFolderName), "*").size();
  const HttpApi::Outcome outcome = api.Handle(request);
  if (outcome.waitKey) {
    if (outcome.waitMs <= 0 || outcome.waitMs > 60'000) __builtin_trap();
  } else if (outcome.operation) {
    const std::optional<HttpResponse> done = api.RunOperation(request, *outcome.operation);
    if (!done) __builtin_trap();  // the stand-in never holds a request back
    CheckResponse(*done);
  } else {
    CheckResponse(outcome.response);
  }
  // Nothing is written for a request that fails the checks.
  const bool passed = guard.HostAllowed(request.Header("host")) &&
                      guard.TokenMatches(request.Header("authorization"));
  if (!passed &&
      (!ListMatching(folder, "ONLINE*").empty() ||
       ListMatching(JoinPath(folder, HttpReceipts::kFolderName), "*").size() != recordsBefore)) {
    __builtin_trap();
  }

  // The cycle answers the receipt with the bytes given; the client then asks for it.
  const std::string key = request.Header("idempotency-key");
  const KeyRecord* record = ValidKey(key) ? receipts.Find(key) : nullptr;
  if (record == nullptr || parts.size() < 4) return 0;
  if (!record->Answered()) {
    WriteFileAtomic(JoinPath(folder, "ERROR" + ChannelOf(key) + ".TXT"), parts[3]);
    DeleteFile(JoinPath(folder, "ONLINE" + ChannelOf(key) + ".TXT"));
    receipts.Advance();
    const KeyRecord* answered = receipts.Find(key);
    if (answered == nullptr || !answered->Answered()) __builtin_trap();
  }
  CheckRecord(*receipts.Find(key));
  HttpRequest poll = request;
  poll.method = "GET";
  poll.path = HttpApi::kReceiptsPath + "/" + key;
  poll.query = {{"wait", "0"}};
  CheckResponse(api.Handle(poll).response);
  CheckResponse(api.AfterWait(poll, key, false));
  return 0;
}
