#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace ruvo {

// Text that a receipt or an operation carries is printable text: a control character (the
// C0 codes 0x00-0x1F and DEL 0x7F) would reach the ECR, which prints it or acts on it
// (NUL, ESC sequences). Bytes from 0x80 up are Windows-1250 letters and pass.
bool IsControlCharacter(char c);

// The 0-based index of the first control character of text, if any.
std::optional<std::size_t> FirstControlCharacter(std::string_view text);

}  // namespace ruvo
