#include "receipt/TextCase.h"

namespace ruvo {

namespace {

unsigned char UpperByte(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
  // Windows-1250: 0xE0..0xFE are the lower-case twins of 0xC0..0xDE, except the
  // division sign 0xF7.
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
  switch (c) {
    case 0x9A:
      return 0x8A;  // s caron
    case 0x9C:
      return 0x8C;  // s acute
    case 0x9D:
      return 0x8D;  // t caron
    case 0x9E:
      return 0x8E;  // z caron
    case 0x9F:
      return 0x8F;  // z acute
    case 0xB3:
      return 0xA3;  // l stroke
    case 0xB9:
      return 0xA5;  // a ogonek
    case 0xBA:
      return 0xAA;  // s cedilla
    case 0xBE:
      return 0xBC;  // l caron
    case 0xBF:
      return 0xAF;  // z dot
    default:
      return c;
  }
}

}  // namespace

std::string UpperCase1250(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(UpperByte(static_cast<unsigned char>(c)));
  return upper;
}

std::string_view TrimBlanks(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace ruvo
