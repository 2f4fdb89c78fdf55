#include "http/RequestHead.h"

#include <string>

#include "http/Problem.h"
#include "platform/IntegerText.h"

namespace ruvo::http {

std::optional<HttpResponse> HeadRefusal(const HttpRequest& request, std::size_t maxBodyBytes) {
  if (!request.HasHeader("host")) {
    return MakeProblem(400, "host-missing", "Lipseste Host",
                       "Cererea nu numeste serverul (antetul Host)");
  }
  if (!request.repeatedHeader.empty()) {
    return MakeProblem(400, "repeated-header", "Antet repetat",
                       "Antetul " + request.repeatedHeader + " apare de doua ori");
  }
  if (!request.HasHeader("content-length")) return std::nullopt;
  // Both: one reader takes the chunks, another the length, and the rest of the body
  // becomes someone's next request (RFC 9112 lets a server refuse it).
  if (request.HasHeader("transfer-encoding")) {
    return MakeProblem(400, "length-and-chunks", "Lungime si transfer in bucati",
                       "Cererea da si Content-Length si Transfer-Encoding");
  }
  const std::string length = request.Header("content-length");
  if (length.empty() || length.find_first_not_of("0123456789") != std::string::npos) {
    return MakeProblem(400, "bad-length", "Content-Length gresit",
                       "Content-Length este numarul de octeti ai corpului");
  }
  const std::optional<std::int64_t> bytes = ParseInt64(length);
  if (!bytes || *bytes > static_cast<std::int64_t>(maxBodyBytes)) {
    return MakeProblem(413, "too-large", "Cerere prea mare",
                       "Corpul cererii are cel mult " + std::to_string(maxBodyBytes) + " octeti");
  }
  return std::nullopt;
}

}  // namespace ruvo::http
