#include "ecr/TextLine.h"

#include <cstddef>
#include <cstdint>

#include "ecr/DecimalText.h"
#include "ecr/TXruvoLinux.h"
#include "platform/Locale.h"

namespace ruvo {

namespace {

constexpr std::size_t kNarrowFontLength = 22;
constexpr std::size_t kNormalFontLength = 44;
constexpr std::size_t kWideFontLength = 72;
constexpr std::size_t kFont3Width = 42;
constexpr std::size_t kFontWidth = 32;

bool IsValidFont(const std::string& font) {
  if (font == "A" || font == "B" || font == "C" || font == "D") return true;
  if (!IsNumericText(font)) return false;
  const std::int32_t value = DecimalIntOr(font, 0);
  return value >= 1 && value <= 6;
}

std::size_t LongestText(char font) {
  switch (font) {
    case '1':
    case '2':
    case '3':
    case '4':
    case '6':
    case 'A':
      return kNormalFontLength;
    case '5':
      return kNarrowFontLength;
    default:
      return kWideFontLength;
  }
}

}  // namespace

int TextLineError(const std::string& font, const std::string& text) {
  if (!IsValidFont(font)) return TXruvoLinux::kErrBadFont;
  // A font written with more than one character ("01") never fits the one-character field.
  if (font.size() != 1 || text.size() > LongestText(font[0])) return FrameLink::kErrTextTooLong;
  return FrameLink::kOk;
}

std::string AlignText(const std::string& font, const std::string& text, int mode) {
  if (mode == 0 || font.size() != 1 || font[0] < '1' || font[0] > '6') return text;
  const std::size_t width = font == "3" ? kFont3Width : kFontWidth;
  if (mode == 1) {
    if (text.size() >= width) return text;
    const std::size_t gap = (width - text.size()) / 2;
    return gap == 0 ? text : std::string(gap, ' ') + text;
  }
  if (mode == 2) return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
  return text;
}

}  // namespace ruvo
