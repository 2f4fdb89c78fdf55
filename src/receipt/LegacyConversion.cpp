#include "receipt/LegacyConversion.h"

#include <optional>

#include "receipt/Fields.h"
#include "receipt/NumericRules.h"
#include "receipt/TextCase.h"

namespace ruvo {

namespace {

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Price times quantity (five implied decimals), in hundredths. Empty when either is no
// integer or the product does not fit: the discount line is then refused by the
// validation pass instead of taking a wrong amount off the receipt.
std::string AdvanceAmount(const std::string& price, const std::string& quantity) {
  const std::optional<std::int64_t> priceValue = ParseInt64(price);
  const std::optional<std::int64_t> quantityValue = ParseInt64(quantity);
  if (!priceValue || !quantityValue) return {};
  std::int64_t product = 0;
  if (__builtin_mul_overflow(*priceValue, *quantityValue, &product)) return {};
  return std::to_string(product / 100000);
}

std::string ConvertSaleLine(const Fields& fields, const LegacyConversionSettings& settings) {
  const std::string& name = FieldOrEmpty(fields, 1);
  const std::string& vat = FieldOrEmpty(fields, 4);
  const std::string& price = FieldOrEmpty(fields, 5);
  const std::string unit =
      fields.size() < 4 ? std::string() : ConvertUnit(fields[3], settings.unitConversions);
  const std::string quantity = fields.size() < 7 ? std::string() : fields[6] + "00";
  const bool isReturn = FieldOrEmpty(fields, 9) == "-";

  if (isReturn && IsAdvanceReversal(name, settings.advanceReversal)) {
    return "7;1;1;1;0;" + AdvanceAmount(price, quantity) + ";1\r2;1;" + name;
  }
  return "1;" + name + ";" + unit + ";1;" + vat + ";" + price + ";" + quantity + ";1;" +
         (isReturn ? "-" : "");
}

// "12;1;CIF CLIENT RO 123" becomes "11;B;RO123", the client's fiscal code line.
std::string ConvertClientCodeLine(const std::string& line, const Fields& fields) {
  if (fields.size() < 3) return line;
  const std::string& text = fields[2];
  const std::size_t where = UpperCase1250(text).find("CIF CLIENT");
  if (where == std::string::npos) return line;
  std::string rest = text;
  rest.erase(where, std::string_view("CIF CLIENT").size());
  const std::string converted = "11;B;" + std::string(TrimBlanks(rest));
  std::string withoutSpaces;
  withoutSpaces.reserve(converted.size());
  for (const char c : converted) {
    if (c != ' ') withoutSpaces.push_back(c);
  }
  return withoutSpaces;
}

std::string ConvertBarcodeLine(const Fields& fields) {
  const std::string& flag = FieldOrEmpty(fields, 2);
  return "16;" + FieldOrEmpty(fields, 1) + ";" + (flag == "1" ? "2" : flag) + ";5;" +
         FieldOrEmpty(fields, 3);
}

std::string ConvertCashLine(const Fields& fields) {
  return std::string("25;") + (FieldOrEmpty(fields, 1) == "1" ? "P" : "D") + ";" +
         FieldOrEmpty(fields, 2);
}

// The older driver numbered three payment forms differently.
std::string ConvertPaymentLine(const Fields& fields) {
  std::string code = FieldOrEmpty(fields, 2);
  if (code == "7") {
    code = "5";
  } else if (code == "5") {
    code = "6";
  } else if (code == "6") {
    code = "7";
  }
  return "5;" + FieldOrEmpty(fields, 1) + ";" + code + ";" + FieldOrEmpty(fields, 3) + ";" +
         FieldOrEmpty(fields, 4);
}

}  // namespace

const std::string* FindIniValue(const IniSection& section, std::string_view key) {
  const std::string_view wanted = TrimBlanks(key);
  for (const auto& [name, value] : section) {
    if (EqualIgnoringAsciiCase(TrimBlanks(name), wanted)) return &value;
  }
  return nullptr;
}

std::string ConvertUnit(std::string_view code, const IniSection& unitConversions) {
  if (code.empty()) return "UM";
  if (const std::string* unit = FindIniValue(unitConversions, code)) return *unit;
  return "UM" + std::string(code);
}

bool IsAdvanceReversal(std::string_view name, const IniSection& advanceReversal) {
  std::vector<std::string> words;
  if (const std::string* list = FindIniValue(advanceReversal, "Cuvinte")) {
    // An empty word would be found in every name and turn every return into an advance
    // reversal, so blanks around words and empty words are left out.
    for (const std::string& word : SplitFields(*list)) {
      const std::string_view trimmed = TrimBlanks(word);
      if (!trimmed.empty()) words.push_back(UpperCase1250(trimmed));
    }
  }
  if (words.empty()) words = {"STORNO", "AVANS"};
  const std::string upperName = UpperCase1250(name);
  for (const std::string& word : words) {
    if (upperName.find(word) == std::string::npos) return false;
  }
  return true;
}

std::string ConvertLegacyLine(const std::string& line, const LegacyConversionSettings& settings) {
  const Fields fields = SplitFields(line);
  const std::string& code = FieldOrEmpty(fields, 0);
  if (code == "1") return ConvertSaleLine(fields, settings);
  if (code == "12") return ConvertClientCodeLine(line, fields);
  if (code == "16") return ConvertBarcodeLine(fields);
  if (code == "25") return ConvertCashLine(fields);
  if (code == "5") return ConvertPaymentLine(fields);
  return line;
}

std::vector<std::string> ConvertLegacyLines(const std::vector<std::string>& lines,
                                            const LegacyConversionSettings& settings) {
  std::vector<std::string> converted;
  converted.reserve(lines.size());
  for (const std::string& line : lines) {
    if (line.empty()) continue;
    std::string result = ConvertLegacyLine(line, settings);
    const std::size_t cr = result.find('\r');
    if (cr == std::string::npos) {
      converted.push_back(std::move(result));
    } else {
      converted.push_back(result.substr(0, cr));
      if (cr + 1 < result.size()) converted.push_back(result.substr(cr + 1));
    }
  }
  return converted;
}

}  // namespace ruvo
