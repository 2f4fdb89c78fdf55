#include "ecr/DecimalText.h"

#include "platform/IntegerText.h"

namespace ruvo {

bool ParseDecimalInt(std::string_view text, std::int32_t& value) {
  const std::optional<std::int32_t> parsed = ParseInt32(text);
  if (!parsed) return false;
  value = *parsed;
  return true;
}

std::int32_t DecimalIntOr(std::string_view text, std::int32_t fallback) {
  return ParseInt32(text).value_or(fallback);
}

}  // namespace ruvo
