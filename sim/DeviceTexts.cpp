// Free text lines, barcodes, the non-fiscal receipt and cash in and out of the drawer.
#include "Device.h"

namespace xruvo_sim {

namespace {

bool ValidFont(char font) { return (font >= '1' && font <= '6') || (font >= 'A' && font <= 'D'); }

std::size_t LongestText(char font) {
  if (font == '5') return 22;
  if ((font >= '1' && font <= '6') || font == 'A') return 44;
  return 72;
}

std::string RightTrimmed(const std::string& text) {
  const auto last = text.find_last_not_of(' ');
  return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

// Reads "font L2(T)" and checks what the printer can take.
int ReadTextLine(FieldReader& f, char& font, std::string& text) {
  std::string fontText;
  if (!f.Text(1, fontText) || !f.LengthText(2, text) || !f.AtEnd()) return ecr_error::kBadLength;
  font = fontText[0];
  if (!ValidFont(font)) return ecr_error::kInvalidValue;
  if (text.size() > LongestText(font)) return ecr_error::kBadLength;
  return 0;
}

}  // namespace

Answer Device::TextLine(FieldReader& f, bool afterClose) {
  char font = '1';
  std::string text;
  if (const int error = ReadTextLine(f, font, text)) return Answer::Err(error);
  if (const int fault = PrinterFault()) return Answer::Err(fault);
  // The word TOTAL is the ECR's own on a fiscal receipt; a text may not fake it.
  if (receipt_.Open() && !afterClose && text.find("TOTAL") != std::string::npos)
    return Answer::Err(ecr_error::kTotalWord);
  Print(RightTrimmed(text));
  return Answer::Ok();
}

Answer Device::Barcode(FieldReader& f) {
  std::int64_t type = 0;
  int digits = 0;
  if (!f.Number(2, type) || !f.Digit(digits)) return Answer::Err(ecr_error::kBadLength);
  // The height has no fixed width: take the reading whose length field fits the rest.
  const std::string rest = f.Rest();
  std::string data;
  bool found = false;
  for (std::size_t width = 1; width <= 2 && !found; ++width) {
    if (rest.size() < width + 3) break;
    FieldReader attempt(rest);
    std::int64_t height = 0;
    std::string candidate;
    if (attempt.Number(width, height) && attempt.LengthText(3, candidate) && attempt.AtEnd()) {
      data = candidate;
      found = true;
    }
  }
  if (!found) return Answer::Err(ecr_error::kBadLength);
  if (type < 1 || type > 9 || digits > 2 || data.empty())
    return Answer::Err(ecr_error::kInvalidValue);
  if (const int fault = PrinterFault()) return Answer::Err(fault);
  Print("|| ||| | |||| || | ||| || |");
  if (digits != 0) paper_.Centered(data);
  return Answer::Ok();
}

Answer Device::OpenNonFiscal(FieldReader& f) {
  std::int64_t kind = 0, zeros = 0;
  if (!f.Number(1, kind) || !f.Number(9, zeros) || !f.AtEnd())
    return Answer::Err(ecr_error::kBadLength);
  if (receipt_.Open() || nonFiscalOpen_) return Answer::Err(ecr_error::kDocumentOpen);
  if (const int fault = PrinterFault()) return Answer::Err(fault);
  nonFiscalOpen_ = true;
  PrintHeader();
  paper_.Centered("BON NEFISCAL");
  return Answer::Ok();
}

Answer Device::NonFiscalText(FieldReader& f) {
  char font = '1';
  std::string text;
  if (const int error = ReadTextLine(f, font, text)) return Answer::Err(error);
  if (receipt_.Open()) return Answer::Err(ecr_error::kDocumentOpen);
  if (const int fault = PrinterFault()) return Answer::Err(fault);
  Print(RightTrimmed(text));
  return Answer::Ok();
}

Answer Device::CloseNonFiscal(FieldReader& f) {
  if (!f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
  if (!nonFiscalOpen_) return Answer::Err(ecr_error::kImpossible);
  if (const int fault = PrinterFault()) return Answer::Err(fault);
  const int number = lastNonFiscalNumber_ % 9999 + 1;
  PrintFooter("BON NEFISCAL NR. " + PadNumber(number, 4));
  paper_.Cut();
  lastNonFiscalNumber_ = number;
  nonFiscalOpen_ = false;
  return Answer::Ok(PadNumber(number, 4));
}

// "D" puts cash in, "P" takes it out, "R" only reads; every form answers the drawer.
Answer Device::CashInOut(FieldReader& f) {
  std::string operation;
  if (!f.Text(1, operation)) return Answer::Err(ecr_error::kBadLength);
  if (operation == "R") {
    if (!f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
    return Answer::Ok(SignedAmount10(totals_.drawerCash));
  }
  if (operation != "D" && operation != "P") return Answer::Err(ecr_error::kInvalidValue);
  std::int64_t amount = 0;
  if (!f.Amount(7, 2, amount, 0) || !f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
  if (amount <= 0) return Answer::Err(ecr_error::kInvalidValue);
  if (receipt_.Open() || nonFiscalOpen_) return Answer::Err(ecr_error::kDocumentOpen);
  if (const int fault = PrinterFault()) return Answer::Err(fault);
  if (operation == "P" && amount > totals_.drawerCash) {
    extendedError_ = extended_error::kCashShort;
    return Answer::Err(ecr_error::kExtended);
  }
  PrintHeader();
  if (operation == "D") {
    ++totals_.floats;
    totals_.floatTotal += amount;
    totals_.drawerCash += amount;
    PrintColumns("INTRARE NUMERAR", MoneyText(amount));
  } else {
    ++totals_.withdrawals;
    totals_.withdrawn += amount;
    totals_.drawerCash -= amount;
    PrintColumns("IESIRE NUMERAR", MoneyText(amount));
  }
  PrintColumns("NUMERAR IN SERTAR", MoneyText(totals_.drawerCash));
  PrintFooter("DOCUMENT NEFISCAL");
  paper_.Cut();
  return Answer::Ok(SignedAmount10(totals_.drawerCash));
}

}  // namespace xruvo_sim
