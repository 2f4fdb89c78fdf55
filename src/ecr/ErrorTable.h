#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ruvo {

// The messages behind the numeric error codes of the ECR and of the driver. Texts are the
// single bytes the operator sees (Windows-1250, the dash is 0x96); they are never converted.

struct CodeMessage {
  std::int32_t code;
  const char* message;
};

// The whole tables, in their order, for the integrators' reference.
std::span<const CodeMessage> EcrErrorMessages();
std::span<const CodeMessage> ExtendedErrorMessages();

// Message of an error code; empty when the code has none.
std::string_view EcrErrorMessage(std::int32_t code);

// Message of an extended error number (the ECR's answer to the extended-error query after
// error 99); empty when the number has none.
std::string_view ExtendedErrorMessage(std::int32_t number);

// Code 65543 is the one multi-line message: six lines, each of the first five followed by a
// carriage return.
inline constexpr std::int32_t kCommNotOkCode = 65543;
std::string CommNotOkMessage();

}  // namespace ruvo
