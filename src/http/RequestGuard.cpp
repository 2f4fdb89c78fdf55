#include "http/RequestGuard.h"

#include <algorithm>
#include <cctype>

#include "http/Problem.h"

namespace ruvo::http {

namespace {

// Compares in a time that does not depend on where the first difference is.
bool SameSecret(const std::string& given, const std::string& expected) {
  if (given.size() != expected.size()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < given.size(); ++i) {
    difference = static_cast<unsigned char>(difference | (given[i] ^ expected[i]));
  }
  return difference == 0;
}

}  // namespace

RequestGuard::RequestGuard(std::vector<std::string> hosts, std::vector<std::string> origins,
                           std::string token)
    : hosts_(std::move(hosts)), origins_(std::move(origins)), token_(std::move(token)) {
  for (std::string& host : hosts_) host = LowerAscii(host);
}

bool RequestGuard::HostAllowed(const std::string& host) const {
  return std::find(hosts_.begin(), hosts_.end(), LowerAscii(host)) != hosts_.end();
}

bool RequestGuard::OriginAllowed(const std::string& origin) const {
  return std::find(origins_.begin(), origins_.end(), origin) != origins_.end();
}

bool RequestGuard::TokenMatches(const std::string& authorization) const {
  const std::string scheme = "bearer ";
  if (token_.empty() || authorization.size() <= scheme.size()) return false;
  if (LowerAscii(authorization.substr(0, scheme.size())) != scheme) return false;
  std::string given = authorization.substr(scheme.size());
  while (!given.empty() && given.front() == ' ') given.erase(0, 1);
  while (!given.empty() && given.back() == ' ') given.pop_back();
  return SameSecret(given, token_);
}

std::optional<HttpResponse> RequestGuard::Refusal(const HttpRequest& request,
                                                  bool needsToken) const {
  if (!HostAllowed(request.Header("host"))) {
    return MakeProblem(421, "wrong-host", "Host necunoscut",
                       "Cererea numeste alt server decat acesta: \"" + request.Header("host") +
                           "\"");
  }
  if (request.HasHeader("origin") && !OriginAllowed(request.Header("origin"))) {
    return MakeProblem(403, "origin-not-allowed", "Origine nepermisa",
                       "Originea \"" + request.Header("origin") +
                           "\" nu este in lista OriginiHttp");
  }
  if (needsToken && !TokenMatches(request.Header("authorization"))) {
    HttpResponse refusal =
        MakeProblem(401, "unauthorized", "Autorizare lipsa sau gresita",
                    "Trimiteti \"Authorization: Bearer <cheie>\" cu cheia din fisierul "
                    "ruvo-http.token al folderului de lucru");
    refusal.SetHeader("WWW-Authenticate", "Bearer realm=\"ruvo_drv\"");
    return refusal;
  }
  return std::nullopt;
}

bool RequestGuard::IsPreflight(const HttpRequest& request) {
  return request.method == "OPTIONS" && request.HasHeader("access-control-request-method");
}

HttpResponse RequestGuard::Preflight(const HttpRequest& request) const {
  HttpResponse response;
  response.status = 204;
  AddCorsHeaders(request, response);
  response.SetHeader("Access-Control-Allow-Methods", "GET, POST");
  response.SetHeader("Access-Control-Allow-Headers",
                     "Authorization, Content-Type, Idempotency-Key");
  response.SetHeader("Access-Control-Max-Age", "600");
  return response;
}

void RequestGuard::AddCorsHeaders(const HttpRequest& request, HttpResponse& response) const {
  const std::string origin = request.Header("origin");
  if (origin.empty() || !OriginAllowed(origin)) return;
  response.SetHeader("Access-Control-Allow-Origin", origin);
  response.SetHeader("Access-Control-Expose-Headers", "Location, Idempotent-Replayed");
  response.SetHeader("Vary", "Origin");
}

std::vector<std::string> AcceptedHosts(const std::string& hostHeader, bool loopback,
                                       bool unixSocket, const std::vector<std::string>& extra) {
  std::vector<std::string> hosts = {hostHeader};
  if (unixSocket) return hosts;
  const std::string port = hostHeader.substr(hostHeader.rfind(':'));
  if (loopback) hosts.push_back("localhost" + port);
  for (const std::string& name : extra) hosts.push_back(name + port);
  return hosts;
}

}  // namespace ruvo::http
