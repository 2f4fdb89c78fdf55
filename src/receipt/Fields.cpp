#include "receipt/Fields.h"

namespace ruvo {

Fields SplitFields(std::string_view line) {
  Fields fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t separator = line.find(';', start);
    if (separator == std::string_view::npos) break;
    fields.emplace_back(line.substr(start, separator - start));
    start = separator + 1;
  }
  if (start < line.size()) fields.emplace_back(line.substr(start));
  return fields;
}

const std::string& FieldOrEmpty(const Fields& fields, std::size_t index) {
  static const std::string empty;
  return index < fields.size() ? fields[index] : empty;
}

}  // namespace ruvo
