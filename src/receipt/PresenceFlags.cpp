#include "receipt/PresenceFlags.h"

#include "receipt/CommandTable.h"

namespace ruvo {

void MarkPresence(PresenceFlags& flags, std::string_view code) {
  const CommandInfo* command = FindCommand(code);
  if (command == nullptr) return;
  if (command->group == CommandGroup::Fiscal) flags.fiscalGroup = true;
  if (command->group == CommandGroup::NonFiscal) flags.nonFiscalGroup = true;
  if (command->flag != nullptr) flags.*(command->flag) = true;
}

bool SaleClosesReceipt(const PresenceFlags& f) {
  const bool standAlone = f.finishReceipt || f.receiptStateQuery || f.cancelReceipt ||
                          f.dailyReport || f.dailyTotals || f.mfReport || f.fiscalSeriesRead ||
                          f.totalizerRead || f.totalizersRead || f.xReport || f.departmentReport;
  return !standAlone && !f.loneText;
}

}  // namespace ruvo
