// Free text lines, barcodes, the non-fiscal receipt and cash in and out of the drawer.
#include "ecr/Amount.h"
#include "ecr/TXruvoLinux.h"
#include "ecr/TextLine.h"

namespace ruvo {

namespace {

constexpr int kNonFiscalTextTimeOut = 10;

}  // namespace

bool TXruvoLinux::SendTextLine(const char* code, const std::string& font, const std::string& text,
                               int timeOutSeconds, int alignment) {
  // The rules apply to the text as given; alignment only adds the blanks of the line width.
  const int check = TextLineError(font, text);
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
