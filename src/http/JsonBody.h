#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace ruvo::http {

// A request's JSON body, read as the driver means it. A member named twice in one object
// is refused (duplicate names its name): a JSON reader keeps one of them, which one is up
// to the reader, and an amount or a receipt line must not depend on that. discarded() when
// the text is no JSON or names a member twice. Never throws.
nlohmann::json ParseJsonBody(const std::string& text, std::string& duplicate);

// The first byte (counted from 1) of text that does not begin a well-formed UTF-8
// character, or nullopt: a JSON body must be UTF-8 (RFC 8259), and bytes that are not are
// refused as such (400 "invalid-utf8"), not as JSON that does not parse.
std::optional<std::size_t> FirstNonUtf8Byte(const std::string& text);
std::string NonUtf8Refusal(std::size_t byte);

// The detail of the refusal of a body ParseJsonBody discarded.
std::string JsonBodyRefusal(const std::string& duplicate);

}  // namespace ruvo::http
