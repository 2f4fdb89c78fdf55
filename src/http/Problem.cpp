#include "http/Problem.h"

namespace ruvo::http {

std::string JsonText(const nlohmann::json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

HttpResponse MakeJson(int status, const nlohmann::json& body) {
  HttpResponse response;
  response.status = status;
  response.SetHeader("Content-Type", "application/json");
  response.body = JsonText(body);
  return response;
}

HttpResponse MakeProblem(int status, const std::string& slug, const std::string& title,
                         const std::string& detail, const nlohmann::json& extra) {
  nlohmann::json body = {{"type", "urn:ruvo-drv:problem:" + slug},
                         {"title", title},
                         {"status", status},
                         {"detail", detail}};
  if (extra.is_object()) {
    for (auto item = extra.begin(); item != extra.end(); ++item) body[item.key()] = item.value();
  }
  HttpResponse response = MakeJson(status, body);
  response.SetHeader("Content-Type", "application/problem+json");
  return response;
}

}  // namespace ruvo::http
