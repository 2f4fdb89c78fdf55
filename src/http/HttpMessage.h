#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace ruvo::http {

// Header names, schemes, media types and host names compare without case, in ASCII only:
// the locale the driver runs in must not change what a request means.
inline std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// A request as the server library hands it over, without the socket: what routing, the
// checks and the handlers read. Header names are lower case; with a header given twice
// the first one counts, and one of those that decide who asks, for what and how
// (IsSingleHeader) is named in repeatedHeader, and the request refused. The body is the
// bytes received, at most the server's limit.
struct HttpRequest {
  std::string method;
  std::string path;  // without the query
  std::map<std::string, std::string> query;
  std::map<std::string, std::string> headers;
  std::string repeatedHeader;  // the first single header that came twice; "" when none
  std::string body;

  // The header's value, or "" when it is missing.
  std::string Header(const std::string& lowerName) const {
    const auto found = headers.find(lowerName);
    return found == headers.end() ? std::string() : found->second;
  }
  bool HasHeader(const std::string& lowerName) const { return headers.count(lowerName) != 0; }
};

// A header that must come at most once: with two, which one counts is up to whoever reads
// the request (a proxy, the server), so neither does.
inline bool IsSingleHeader(const std::string& lowerName) {
  for (const char* name : {"host", "origin", "authorization", "content-type", "idempotency-key"}) {
    if (lowerName == name) return true;
  }
  return false;
}

struct HttpResponse {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  void SetHeader(const std::string& name, const std::string& value) {
    for (auto& header : headers) {
      if (header.first == name) {
        header.second = value;
        return;
      }
    }
    headers.emplace_back(name, value);
  }
  // The header's value, or "" when it was not set.
  std::string Header(const std::string& name) const {
    for (const auto& header : headers) {
      if (header.first == name) return header.second;
    }
    return "";
  }
};

}  // namespace ruvo::http
