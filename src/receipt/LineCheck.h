#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "receipt/Fields.h"

namespace ruvo {

// What a line checker gets to see of one line.
struct LineContext {
  const Fields& fields;
  const std::string& line;     // the whole line as read, for the messages
  int countedLine;             // 1 for the first non-empty line of the file
  const Fields* previousLine;  // the line just before, empty or not; nullptr on the first
};

// The verdict on one line: valid, or refused with the one message for the response file.
struct CheckResult {
  bool ok = true;
  std::string message;
};

inline CheckResult Valid() { return {}; }
inline CheckResult Refused(std::string message) { return {false, std::move(message)}; }

// A refused line (or a name taken from one) as the answer repeats it: whole up to
// kLongestEchoedText bytes; a longer one cut there and followed by kCutMarkerPrefix, its
// length and kCutMarkerSuffix. A 10 MB line would otherwise make a 10 MB answer, and as
// much again in History/.
inline constexpr std::size_t kLongestEchoedText = 1024;
inline const std::string kCutMarkerPrefix = " [... ";
inline const std::string kCutMarkerSuffix = " caractere]";
std::string EchoedText(std::string_view text);

// "8007;Comada nu contine ..." followed by the line: the usual shape of a line error.
CheckResult RefusedWithCode(std::string_view code, std::string_view text, const std::string& line);
// The few messages without a code: the text followed by the line.
CheckResult RefusedWithoutCode(std::string_view text, const std::string& line);
// 8007, the wrong number of fields, shared by every command.
CheckResult RefusedFieldCount(const std::string& line);

// The number rules (receipt/NumericRules) and integer values of field `index` (missing
// fields are empty).
bool IsNumeric(const LineContext& context, std::size_t index);
bool IsAmount(const LineContext& context, std::size_t index);
int IntField(const LineContext& context, std::size_t index, int fallback = 0);

using LineChecker = CheckResult (*)(const LineContext& context);

}  // namespace ruvo
