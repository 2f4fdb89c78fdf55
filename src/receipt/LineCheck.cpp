#include "receipt/LineCheck.h"

#include "receipt/NumericRules.h"

namespace ruvo {

std::string EchoedText(std::string_view text) {
  if (text.size() <= kLongestEchoedText) return std::string(text);
  std::string echoed(text.substr(0, kLongestEchoedText));
  echoed.append(kCutMarkerPrefix).append(std::to_string(text.size())).append(kCutMarkerSuffix);
  return echoed;
}

CheckResult RefusedWithCode(std::string_view code, std::string_view text, const std::string& line) {
  std::string message;
  message.append(code).append(";").append(text).append(EchoedText(line));
  return Refused(std::move(message));
}

CheckResult RefusedWithoutCode(std::string_view text, const std::string& line) {
  std::string message(text);
  message.append(EchoedText(line));
  return Refused(std::move(message));
}

CheckResult RefusedFieldCount(const std::string& line) {
  return RefusedWithCode("8007", "Comada nu contine numarul asteptat de date : ", line);
}

bool IsNumeric(const LineContext& context, std::size_t index) {
  return IsWholeNumberField(FieldOrEmpty(context.fields, index));
}

bool IsAmount(const LineContext& context, std::size_t index) {
  return IsAmountField(FieldOrEmpty(context.fields, index));
}

int IntField(const LineContext& context, std::size_t index, int fallback) {
  return IntValue(FieldOrEmpty(context.fields, index), fallback);
}

}  // namespace ruvo
