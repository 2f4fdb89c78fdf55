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

std::optional<std::size_t> FirstNonUtf8Byte(const std::string& text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    unsigned char low = 0x80;  // the second byte's range, narrower after some leads
    unsigned char high = 0xBF;
    if (lead < 0x80) {
      length = 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;   // overlong
      if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;   // overlong
      if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else {
      return at + 1;
    }
    if (at + length > text.size()) return at + 1;
    for (std::size_t i = 1; i < length; ++i) {
      const auto next = static_cast<unsigned char>(text[at + i]);
      if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return at + 1;
    }
    at += length;
  }
  return std::nullopt;
}

std::string NonUtf8Refusal(std::size_t byte) {
  return "Octetul " + std::to_string(byte) + " al corpului nu incepe un caracter UTF-8 valid";
}

std::string JsonBodyRefusal(const std::string& duplicate) {
  if (duplicate.empty()) return "Corpul cererii nu este JSON valid";
  return "Membrul \"" + duplicate + "\" apare de doua ori in acelasi obiect";
}

}  // namespace ruvo::http
