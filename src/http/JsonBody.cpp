#include "http/JsonBody.h"

#include <set>
#include <vector>

namespace ruvo::http {

nlohmann::json ParseJsonBody(const std::string& text, std::string& duplicate) {
  duplicate.clear();
  std::vector<std::set<std::string>> names;  // of each object open at this point
  const nlohmann::json::parser_callback_t check = [&](int, nlohmann::json::parse_event_t event,
                                                      nlohmann::json& parsed) {
    using Event = nlohmann::json::parse_event_t;
    if (event == Event::object_start) names.emplace_back();
    if (event == Event::object_end && !names.empty()) names.pop_back();
    if (event == Event::key && !names.empty() && parsed.is_string() &&
        !names.back().insert(parsed.get<std::string>()).second && duplicate.empty()) {
      duplicate = parsed.get<std::string>();
    }
    return true;
  };
  nlohmann::json value = nlohmann::json::parse(text, check, false);
  if (!duplicate.empty()) return nlohmann::json(nlohmann::json::value_t::discarded);
  return value;
}

std::string JsonBodyRefusal(const std::string& duplicate) {
  if (duplicate.empty()) return "Corpul cererii nu este JSON valid";
  return "Membrul \"" + duplicate + "\" apare de doua ori in acelasi obiect";
}

}  // namespace ruvo::http
