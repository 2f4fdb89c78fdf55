#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "receipt/Fields.h"

namespace ruvo {

// What a line checker gets to see of one line.
struct LineContext {
  const Fields& fields;
  const std::string& line;      // the whole line as read, for the messages
  int countedLine;              // 1 for the first non-empty line of the file
  char decimalSeparator;        // of the numeric-field rule
  const Fields* previousLine;   // the line just before, empty or not; nullptr on the first
};

// The verdict on one line: valid, or refused with the one message for the response file.
struct CheckResult {
  bool ok = true;
  std::string message;
};

inline CheckResult Valid() { return {}; }
inline CheckResult Refused(std::string message) { return {false, std::move(message)}; }

// "8007;Comada nu contine ..." followed by the line: the usual shape of a line error.
CheckResult RefusedWithCode(std::string_view code, std::string_view text, const std::string& line);
// The few messages without a code: the text followed by the line.
CheckResult RefusedWithoutCode(std::string_view text, const std::string& line);
// 8007, the wrong number of fields, shared by every command.
CheckResult RefusedFieldCount(const std::string& line);

// Numeric-field rule and integer values of field `index` (missing fields are empty).
bool IsNumeric(const LineContext& context, std::size_t index);
int IntField(const LineContext& context, std::size_t index, int fallback = 0);

using LineChecker = CheckResult (*)(const LineContext& context);

}  // namespace ruvo
