#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace ruvo::e2e {

inline const std::string kCurl = "/usr/bin/curl";

// What curl brought back: the status (0 when curl itself failed or gave up), the headers
// and the body.
struct CurlReply {
  int status = 0;
  std::string headers;
  std::string body;

  nlohmann::json Json() const { return nlohmann::json::parse(body, nullptr, false); }
};

// curl (at most 20 seconds) with the options, its outputs kept in files of folder.
CurlReply RunCurl(const std::string& folder, const std::vector<std::string>& options);

}  // namespace ruvo::e2e
