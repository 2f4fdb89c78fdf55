#include "receipt/LineCheck.h"

#include "receipt/NumericRules.h"

namespace ruvo {

CheckResult RefusedWithCode(std::string_view code, std::string_view text, const std::string& line) {
  std::string message;
  message.reserve(code.size() + 1 + text.size() + line.size());
  message.append(code).append(";").append(text).append(line);
  return Refused(std::move(message));
}

CheckResult RefusedWithoutCode(std::string_view text, const std::string& line) {
  std::string message(text);
  message.append(line);
  return Refused(std::move(message));
}

CheckResult RefusedFieldCount(const std::string& line) {
  return RefusedWithCode("8007", "Comada nu contine numarul asteptat de date : ", line);
}

bool IsNumeric(const LineContext& context, std::size_t index) {
  return IsNumericField(FieldOrEmpty(context.fields, index), context.decimalSeparator);
}

int IntField(const LineContext& context, std::size_t index, int fallback) {
  return IntValue(FieldOrEmpty(context.fields, index), fallback);
}

}  // namespace ruvo
