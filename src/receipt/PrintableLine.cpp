#include "receipt/PrintableLine.h"

#include "platform/ControlCharacters.h"

namespace ruvo {

CheckResult CheckPrintableLine(const std::string& line) {
  const std::optional<std::size_t> at = FirstControlCharacter(line);
  if (!at) return Valid();
  std::size_t field = 0;
  std::size_t fieldStart = 0;
  for (std::size_t i = 0; i < *at; ++i) {
    if (line[i] == ';') {
      ++field;
      fieldStart = i + 1;
    }
  }
  std::string shown = line;
  for (char& c : shown) {
    if (IsControlCharacter(c)) c = '?';
  }
  const int code = static_cast<unsigned char>(line[*at]);
  const std::string text = "Caracter de control nepermis (cod " + std::to_string(code) +
                           ") in campul " + std::to_string(field) + ", pozitia " +
                           std::to_string(*at - fieldStart + 1) + " : ";
  return RefusedWithCode(kControlCharacterCode, text, shown);
}

}  // namespace ruvo
