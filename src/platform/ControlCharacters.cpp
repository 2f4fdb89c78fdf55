#include "platform/ControlCharacters.h"

namespace ruvo {

bool IsControlCharacter(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

std::optional<std::size_t> FirstControlCharacter(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsControlCharacter(text[i])) return i;
  }
  return std::nullopt;
}

}  // namespace ruvo
