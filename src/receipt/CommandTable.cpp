#include "receipt/CommandTable.h"

#include <array>

#include "receipt/AdminCheckers.h"
#include "receipt/ReportCheckers.h"
#include "receipt/SaleCheckers.h"
#include "receipt/TextCheckers.h"

namespace ruvo {

namespace {

constexpr CommandGroup kFiscal = CommandGroup::Fiscal;
constexpr CommandGroup kNonFiscal = CommandGroup::NonFiscal;

constexpr std::array kCommands = {
    CommandInfo{"0", kFiscal, CheckFinishReceipt},
    CommandInfo{"1", kFiscal, CheckSaleLine},
    CommandInfo{"100", kFiscal, CheckFixedNameLine},
    CommandInfo{"101", kFiscal, CheckFixedNameLine},
    CommandInfo{"2", kFiscal, CheckTextLine},
    CommandInfo{"3", kFiscal, nullptr},
    CommandInfo{"5", kFiscal, CheckPayment},
    CommandInfo{"7", kFiscal, CheckDiscount},
    CommandInfo{"8", kFiscal, CheckSubtotal},
    CommandInfo{"10", kFiscal, CheckTwoPartText},
    CommandInfo{"11", kFiscal, CheckTextLine},
    CommandInfo{"111", kFiscal, CheckTextLine},
    CommandInfo{"12", kFiscal, CheckTextLine},
    CommandInfo{"9999", kFiscal, nullptr},
    CommandInfo{"14", kFiscal, CheckDailyCommand},
    CommandInfo{"15", kFiscal, CheckDailyCommand},
    CommandInfo{"30", kFiscal, CheckDailyCommand},
    CommandInfo{"31", kFiscal, CheckOperatorChange},
    CommandInfo{"32", kFiscal, CheckDepartmentReport},
    CommandInfo{"16", CommandGroup::Either, CheckBarcode},
    CommandInfo{"17", kFiscal, CheckDailyCommand},
    CommandInfo{"24", kFiscal, CheckFiscalSeriesRead},
    CommandInfo{"27", kFiscal, CheckTotalizerRead},
    CommandInfo{"28", kFiscal, CheckTotalizersRead},
    CommandInfo{"18", kFiscal, CheckMfReportByNumber},
    CommandInfo{"19", kFiscal, CheckMfReportByDate},
    CommandInfo{"20", kNonFiscal, CheckNonFiscalMark},
    CommandInfo{"21", kNonFiscal, CheckTextLine},
    CommandInfo{"25", kNonFiscal, CheckCashInOut},
    CommandInfo{"102", kNonFiscal, CheckTypedReport},
    CommandInfo{"103", kNonFiscal, CheckTypedReport},
    CommandInfo{"81", kNonFiscal, CheckJeReportByDate},
    CommandInfo{"82", kNonFiscal, CheckJeReportByReceipts},
    CommandInfo{"76", kNonFiscal, CheckJeReportByZ},
    CommandInfo{"78", kNonFiscal, CheckJeReportFromLine},
    CommandInfo{"79", kNonFiscal, CheckJeReceiptsOfZ},
    CommandInfo{"105", kNonFiscal, nullptr},
    CommandInfo{"116", kNonFiscal, CheckBeep},
    CommandInfo{"42", kNonFiscal, CheckSetDateTime},
    CommandInfo{"416", kNonFiscal, CheckXmlExport},
};

}  // namespace

const CommandInfo* FindCommand(std::string_view code) {
  for (const CommandInfo& command : kCommands) {
    if (command.code == code) return &command;
  }
  return nullptr;
}

std::span<const CommandInfo> AllCommands() { return kCommands; }

}  // namespace ruvo
