#pragma once

#include <optional>
#include <string>
#include <vector>

#include "http/HttpMessage.h"

namespace ruvo::http {

// The checks every request passes before it is routed: the Host it names (a page of a
// foreign site that had its name point at our address names its own host, so DNS
// rebinding gets nowhere), the browser origin it comes from, and the bearer token.
class RequestGuard {
 public:
  // hosts: the Host values accepted, compared without regard to case (with their port);
  // origins: the browser origins allowed; token: what "Authorization: Bearer" must carry.
  RequestGuard(std::vector<std::string> hosts, std::vector<std::string> origins, std::string token);

  // The refusal of a request that fails a check, or nullopt. A request without an Origin
  // is no browser's cross-site request and needs no origin. needsToken: false for the few
  // requests anyone on the host may make (the status).
  std::optional<HttpResponse> Refusal(const HttpRequest& request, bool needsToken) const;

  // Whether the request is a CORS preflight (OPTIONS with Access-Control-Request-Method).
  static bool IsPreflight(const HttpRequest& request);
  // The answer to a preflight from an allowed origin (the Host already checked).
  HttpResponse Preflight(const HttpRequest& request) const;
  // Adds the CORS headers an allowed origin needs to read the answer.
  void AddCorsHeaders(const HttpRequest& request, HttpResponse& response) const;

  bool HostAllowed(const std::string& host) const;
  bool OriginAllowed(const std::string& origin) const;
  bool TokenMatches(const std::string& authorization) const;

 private:
  std::vector<std::string> hosts_;
  std::vector<std::string> origins_;
  std::string token_;
};

// The Host values a server at hostHeader (ListenAddress::HostHeader) accepts: that one,
// "localhost" with the port on a loopback address, and the extra names given with the port.
std::vector<std::string> AcceptedHosts(const std::string& hostHeader, bool loopback,
                                       bool unixSocket, const std::vector<std::string>& extra);

}  // namespace ruvo::http
