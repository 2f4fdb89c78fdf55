#include "receipt/ReceiptValidator.h"

#include "receipt/CommandTable.h"
#include "receipt/FileRules.h"
#include "receipt/NetQuantityTable.h"
#include "receipt/PortSelection.h"
#include "receipt/PrintableLine.h"
#include "receipt/ReportCheckers.h"

namespace ruvo {

namespace {

constexpr const char* kNoDataText = "8005;Fisierul de intrare nu contine date";

// Checks one non-empty line; on success records what it stands for.
CheckResult CheckLine(const LineContext& context, PresenceFlags& flags,
                      NetQuantityTable& netQuantities) {
  CheckResult printable = CheckPrintableLine(context.line);
  if (!printable.ok) return printable;
  const std::string& code = context.fields[0];
  const CommandInfo* command = FindCommand(code);
  if (command == nullptr) {
    if (IsPortSelectionCode(code)) return Valid();
    return Refused(UnknownCommandText(context.line));
  }
  if (command->checker != nullptr) {
    CheckResult result = command->checker(context);
    if (!result.ok) return result;
  }
  MarkPresence(flags, code);
  if (code == "1") netQuantities.AddSaleLine(context.fields);
  return Valid();
}

// A command that must stand alone passes its checker on the first line, where nothing
// comes before it; what comes after it would be sent to the ECR with nothing to close it.
std::optional<std::string> CheckStandsAlone(const ValidationResult& result,
                                            const std::vector<std::string>& lines) {
  if (result.countedLines < 2) return std::nullopt;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (result.fields[i].empty()) continue;
    const LineContext first{result.fields[i], lines[i], 1, nullptr};
    CheckResult verdict = RefusedAsAccompanied(first);
    if (verdict.ok) return std::nullopt;
    return std::move(verdict.message);
  }
  return std::nullopt;
}

}  // namespace

ValidationResult ValidateReceiptLines(const std::vector<std::string>& lines,
                                      const ValidationOptions& options) {
  ValidationResult result;
  if (lines.empty()) {
    result.errorText = kNoDataText;
    return result;
  }
  result.port = PortOfFirstLine(lines);
  result.fields.reserve(lines.size());
  for (const std::string& line : lines) result.fields.push_back(SplitFields(line));

  NetQuantityTable netQuantities;
  int commandLines = 0;  // counted lines that are not port-selection lines
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Fields& fields = result.fields[i];
    if (fields.empty()) continue;
    ++result.countedLines;
    if (!IsPortSelectionCode(fields[0])) ++commandLines;
    const LineContext context{fields, lines[i], result.countedLines,
                              i == 0 ? nullptr : &result.fields[i - 1]};
    CheckResult verdict = CheckLine(context, result.flags, netQuantities);
    if (!verdict.ok) {
      result.errorText = std::move(verdict.message);
      return result;
    }
  }

  // Nothing to do is no success: the ECR would print an empty non-fiscal receipt.
  if (commandLines == 0) {
    result.errorText = kNoDataText;
    return result;
  }

  // "10" prints a text alone; among other lines it is just part of the receipt.
  if (result.flags.loneText && result.countedLines > 1) result.flags.loneText = false;

  std::optional<std::string> finding = CheckFileRules(lines, result.flags, options.connected);
  if (!finding) finding = CheckReturns(netQuantities);
  if (!finding) finding = CheckStandsAlone(result, lines);
  if (finding) {
    result.errorText = std::move(*finding);
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace ruvo
