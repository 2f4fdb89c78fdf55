// Free text lines, barcodes, the non-fiscal receipt and cash in and out of the drawer.
#include "ecr/Amount.h"
#include "ecr/DecimalText.h"
#include "ecr/TXruvoLinux.h"
#include "platform/Locale.h"

namespace ruvo {

namespace {

constexpr int kNonFiscalTextTimeOut = 10;
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

int TXruvoLinux::CheckTextLine(const std::string& font, const std::string& text) {
  if (!IsValidFont(font)) return kErrBadFont;
  // A font written with more than one character ("01") never fits the one-character field.
  if (font.size() != 1 || text.size() > LongestText(font[0])) return kErrTextTooLong;
  return kOk;
}

std::string TXruvoLinux::AlignText(const std::string& font, const std::string& text, int mode) {
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

bool TXruvoLinux::SendTextLine(const char* code, const std::string& font, const std::string& text,
                               int timeOutSeconds, int alignment) {
  // The rules apply to the text as given; alignment only adds the blanks of the line width.
  const int check = CheckTextLine(font, text);
  if (check != kOk) {
    SetError(check);
    return false;
  }
  return RunCommand(code + font + LengthText(AlignText(font, text, alignment), 2), timeOutSeconds);
}

bool TXruvoLinux::PrintText3002(const std::string& font, const std::string& text, int alignment) {
  return SendTextLine("3002", font, text, kDefaultTimeOut, alignment);
}

bool TXruvoLinux::PrintText3008(const std::string& font, const std::string& text) {
  return SendTextLine("3008", font, text, kDefaultTimeOut);
}

bool TXruvoLinux::PrintText3010(const std::string& font, const std::string& text) {
  return SendTextLine("3010", font, text, kDefaultTimeOut);
}

bool TXruvoLinux::PrintText3012(const std::string& font, const std::string& text, int alignment) {
  return SendTextLine("3012", font, text, longTimeOut_, alignment);
}

bool TXruvoLinux::PrintNonFiscalText(const std::string& font, const std::string& text) {
  // The ECR takes no empty line; one blank prints as one.
  return SendTextLine("4003", font, text.empty() ? std::string(" ") : text, kNonFiscalTextTimeOut);
}

bool TXruvoLinux::OpenNonFiscalReceipt() {
  if (!IsReady()) return false;
  return RunCommand(
      "40011"
      "0"
      "000000000",
      kDefaultTimeOut);
}

bool TXruvoLinux::CloseNonFiscalReceipt() {
  if (!IsReady()) return false;
  std::string ignored;
  ReadDocumentState(ignored);
  return RunCommand("4004", kDefaultTimeOut);
}

bool TXruvoLinux::PrintBarcode(int barcodeType, int digitsFlag, int height,
                               const std::string& data) {
  if (barcodeType < 1 || barcodeType > 9) {
    SetError(kErrBarcodeType);
    return false;
  }
  if (digitsFlag < 0 || digitsFlag > 2) {
    SetError(kErrBarcodeDigits);
    return false;
  }
  if (!FitsLengthField(data, 3)) {
    SetError(kErrTextTooLong);
    return false;
  }
  return RunCommand("3023" + PadNumber(barcodeType, 2) + std::to_string(digitsFlag) +
                        std::to_string(height) + LengthText(data, 3),
                    kDefaultTimeOut);
}

bool TXruvoLinux::CashInOut(const std::string& operation, double amount) {
  if (!IsReady()) return false;
  std::string text = "7106" + operation;
  if (operation != "R") text += AmountField(amount, 7, 2);
  return RunCommand(text, kDefaultTimeOut);
}

}  // namespace ruvo
