#include "execution/ReceiptExecutorCommands.h"

#include "receipt/Fields.h"
#include "receipt/PortSelection.h"

namespace ruvo {

std::optional<std::string> LineNotServed(const std::vector<std::string>& lines,
                                         CommandGroup group) {
  for (const std::string& line : lines) {
    const Fields fields = SplitFields(line);
    if (fields.empty()) continue;
    const CommandInfo* command = FindCommand(fields[0]);
    if (command == nullptr) {
      if (IsPortSelectionCode(fields[0])) continue;
      return UnknownCommandText(line);
    }
    if (command->group != group && command->group != CommandGroup::Either) {
      return UnknownCommandText(line);
    }
  }
  return std::nullopt;
}

}  // namespace ruvo
