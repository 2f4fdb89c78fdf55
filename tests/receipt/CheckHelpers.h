#pragma once

#include <string>
#include <vector>

#include "receipt/CommandTable.h"
#include "receipt/Fields.h"
#include "receipt/LineCheck.h"
#include "receipt/ReceiptValidator.h"

namespace ruvo::testing {

// Runs the checker of one line's code; "" when the line is valid, else its message.
inline std::string Check(const std::string& line, int countedLine = 1,
                         const std::string* previous = nullptr) {
  const Fields fields = SplitFields(line);
  const Fields previousFields = previous != nullptr ? SplitFields(*previous) : Fields{};
  const CommandInfo* command = FindCommand(fields.at(0));
  if (command == nullptr) return "<no command>";
  if (command->checker == nullptr) return "";
  const LineContext context{fields, line, countedLine,
                            previous != nullptr ? &previousFields : nullptr};
  const CheckResult result = command->checker(context);
  return result.ok ? "" : result.message;
}

// The whole validation pass; "" when the file passes, else the response text.
inline std::string Validate(const std::vector<std::string>& lines, bool connected = true) {
  const ValidationResult result = ValidateReceiptLines(lines, {connected});
  return result.ok ? "" : result.errorText;
}

}  // namespace ruvo::testing
