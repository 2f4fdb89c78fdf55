#include "receipt/TextCheckers.h"

#include "receipt/NumericRules.h"

namespace ruvo {

namespace {

// "2" and "21" may leave the text out; the others must carry the field.
std::size_t MinimumFields(const std::string& code) { return (code == "2" || code == "21") ? 2 : 3; }

}  // namespace

std::size_t LongestTextForFont(const std::string& font) {
  if (font == "A") return 44;
  if (font == "B" || font == "C" || font == "D") return 72;
  if (!IsWholeNumberField(font)) return 0;
  const int value = IntValue(font);
  if (value < 1 || value > 6) return 0;
  return value == 5 ? 22 : 44;
}

CheckResult CheckTextLine(const LineContext& context) {
  const Fields& fields = context.fields;
  if (fields.size() < MinimumFields(fields[0])) return RefusedFieldCount(context.line);
  const std::size_t longest = LongestTextForFont(fields[1]);
  if (longest == 0) return RefusedWithCode("8003", "Parametrul FONT eronat : ", context.line);
  // A numeric font written with more than one character ("01") passes the font rule
  // but the ECR knows only one-character fonts.
  if (fields[1].size() > 1 || FieldOrEmpty(fields, 2).size() > longest) {
    return RefusedWithCode("8004", "Lungimea textului este prea mare : ", context.line);
  }
  return Valid();
}

}  // namespace ruvo
