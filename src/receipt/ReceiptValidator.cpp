#include "receipt/ReceiptValidator.h"

#include "receipt/CommandTable.h"
#include "receipt/FileRules.h"
#include "receipt/NetQuantityTable.h"
#include "receipt/PortSelection.h"

namespace ruvo {

namespace {

// Checks one non-empty line; on success records what it stands for.
CheckResult CheckLine(const LineContext& context, PresenceFlags& flags,
                      NetQuantityTable& netQuantities) {
  const std::string& code = context.fields[0];
  const CommandInfo* command = FindCommand(code);
  if (command == nullptr) {
    if (IsPortSelectionCode(code)) return Valid();
    return RefusedWithCode("8006", "Comanda necunoscuta : ", context.line);
  }
  if (command->checker != nullptr) {
    CheckResult result = command->checker(context);
    if (!result.ok) return result;
  }
  MarkPresence(flags, code);
  if (code == "1") netQuantities.AddSaleLine(context.fields);
  return Valid();
}

}  // namespace

ValidationResult ValidateReceiptLines(const std::vector<std::string>& lines,
                                      const ValidationOptions& options) {
  ValidationResult result;
  if (lines.empty()) {
    result.errorText = "8005;Fisierul de intrare nu contine date";
    return result;
  }
  result.port = PortOfFirstLine(lines);
  result.fields.reserve(lines.size());
  for (const std::string& line : lines) result.fields.push_back(SplitFields(line));

  NetQuantityTable netQuantities;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Fields& fields = result.fields[i];
    if (fields.empty()) continue;
    ++result.countedLines;
    const LineContext context{fields, lines[i], result.countedLines, options.decimalSeparator,
                              i == 0 ? nullptr : &result.fields[i - 1]};
    CheckResult verdict = CheckLine(context, result.flags, netQuantities);
    if (!verdict.ok) {
      result.errorText = std::move(verdict.message);
      return result;
    }
  }

  // "10" prints a text alone; among other lines it is just part of the receipt.
  if (result.flags.loneText && result.countedLines > 1) result.flags.loneText = false;

  std::optional<std::string> finding = CheckFileRules(lines, result.flags, options.connected);
  if (!finding) finding = CheckReturns(netQuantities);
  if (finding) {
    result.errorText = std::move(*finding);
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace ruvo
