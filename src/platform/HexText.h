#pragma once

#include <optional>
#include <string>

namespace ruvo {

// Bytes as lowercase hex, two digits each: the form our own state files keep texts in, so
// that no byte of a text can break a line or a separator.
std::string ToHex(const std::string& bytes);

// The bytes back; nullopt for an odd length or any character but 0-9 a-f. Strict on
// purpose: our state files never hold anything else, so anything else is damage.
std::optional<std::string> FromHex(const std::string& hex);

}  // namespace ruvo
