#include "receipt/PresenceFlags.h"

#include "receipt/CommandTable.h"

namespace ruvo {

namespace {

bool* FlagOfCode(PresenceFlags& flags, std::string_view code) {
  struct Entry {
    std::string_view code;
    bool PresenceFlags::*flag;
  };
  static constexpr Entry kEntries[] = {
      {"1", &PresenceFlags::sale},
      {"5", &PresenceFlags::payment},
      {"3", &PresenceFlags::payment},
      {"0", &PresenceFlags::finishReceipt},
      {"10", &PresenceFlags::loneText},
      {"14", &PresenceFlags::cancelReceipt},
      {"15", &PresenceFlags::dailyReport},
      {"17", &PresenceFlags::dailyTotals},
      {"30", &PresenceFlags::xReport},
      {"32", &PresenceFlags::departmentReport},
      {"9999", &PresenceFlags::receiptStateQuery},
      {"24", &PresenceFlags::fiscalSeriesRead},
      {"27", &PresenceFlags::totalizerRead},
      {"28", &PresenceFlags::totalizersRead},
      {"18", &PresenceFlags::mfReport},
      {"19", &PresenceFlags::mfReport},
      {"102", &PresenceFlags::typedReportA},
      {"103", &PresenceFlags::typedReportB},
      {"81", &PresenceFlags::jeReportByDate},
      {"82", &PresenceFlags::jeReportByReceipts},
      {"76", &PresenceFlags::jeReportByZ},
      {"78", &PresenceFlags::jeReportFromLine},
      {"79", &PresenceFlags::jeReceiptsOfZ},
      {"105", &PresenceFlags::stopReport},
      {"116", &PresenceFlags::beep},
      {"25", &PresenceFlags::cashInOut},
      {"42", &PresenceFlags::setDateTime},
      {"416", &PresenceFlags::xmlExport},
  };
  for (const Entry& entry : kEntries) {
    if (entry.code == code) return &(flags.*entry.flag);
  }
  return nullptr;
}

}  // namespace

void MarkPresence(PresenceFlags& flags, std::string_view code) {
  const CommandInfo* command = FindCommand(code);
  if (command == nullptr) return;
  if (command->group == CommandGroup::Fiscal) flags.fiscalGroup = true;
  if (command->group == CommandGroup::NonFiscal) flags.nonFiscalGroup = true;
  if (bool* flag = FlagOfCode(flags, code)) *flag = true;
}

bool SaleClosesReceipt(const PresenceFlags& f) {
  const bool standAlone = f.finishReceipt || f.receiptStateQuery || f.cancelReceipt ||
                          f.dailyReport || f.dailyTotals || f.mfReport || f.fiscalSeriesRead ||
                          f.totalizerRead || f.totalizersRead || f.xReport || f.departmentReport;
  return !standAlone && !f.loneText;
}

}  // namespace ruvo
