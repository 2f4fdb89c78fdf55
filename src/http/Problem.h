#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "http/HttpMessage.h"

namespace ruvo::http {

// Every JSON answer goes through here: never throws, whatever bytes a text holds (invalid
// UTF-8 becomes U+FFFD).
std::string JsonText(const nlohmann::json& value);

// A JSON answer of the given status.
HttpResponse MakeJson(int status, const nlohmann::json& body);

// An "application/problem+json" answer (RFC 9457): type "urn:ruvo-drv:problem:<slug>",
// the title, the detail (UTF-8) and the status; extra members are merged in (the driver's
// "code" and the answer's lines for a refused receipt).
HttpResponse MakeProblem(int status, const std::string& slug, const std::string& title,
                         const std::string& detail,
                         const nlohmann::json& extra = nlohmann::json::object());

}  // namespace ruvo::http
