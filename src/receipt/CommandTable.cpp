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
using Flags = PresenceFlags;
constexpr bool Flags::*kNoFlag = nullptr;

// A command is written here once: its code, its group, its checker, the presence flag it
// sets and how it runs on the ECR (see "How to add a receipt command" in DEVELOPERS.md).
constexpr std::array kCommands = {
    CommandInfo{"0", kFiscal, CheckFinishReceipt, &Flags::finishReceipt, LineRun::FinishReceipt},
    CommandInfo{"1", kFiscal, CheckSaleLine, &Flags::sale, LineRun::Sale},
    CommandInfo{"100", kFiscal, CheckFixedNameLine, kNoFlag, LineRun::AdvanceRefund},
    CommandInfo{"101", kFiscal, CheckFixedNameLine, kNoFlag, LineRun::ReturnablePackaging},
    CommandInfo{"2", kFiscal, CheckTextLine, kNoFlag, LineRun::FontText},
    CommandInfo{"3", kFiscal, nullptr, &Flags::payment, LineRun::PaymentMark},
    CommandInfo{"5", kFiscal, CheckPayment, &Flags::payment, LineRun::Payment},
    CommandInfo{"7", kFiscal, CheckDiscount, kNoFlag, LineRun::Discount},
    CommandInfo{"8", kFiscal, CheckSubtotal, kNoFlag, LineRun::Subtotal},
    CommandInfo{"10", kFiscal, CheckTwoPartText, &Flags::loneText, LineRun::TwoPartText},
    CommandInfo{"11", kFiscal, CheckTextLine, kNoFlag, LineRun::HeaderText},
    CommandInfo{"111", kFiscal, CheckTextLine, kNoFlag, LineRun::FooterText},
    CommandInfo{"12", kFiscal, CheckTextLine, kNoFlag, LineRun::TextAfterClose},
    CommandInfo{"9999", kFiscal, nullptr, &Flags::receiptStateQuery, LineRun::ReceiptStateQuery},
    CommandInfo{"14", kFiscal, CheckDailyCommand, &Flags::cancelReceipt, LineRun::CancelReceipt},
    CommandInfo{"15", kFiscal, CheckDailyCommand, &Flags::dailyReport, LineRun::ZReport},
    CommandInfo{"30", kFiscal, CheckDailyCommand, &Flags::xReport, LineRun::XReport},
    CommandInfo{"31", kFiscal, CheckOperatorChange, kNoFlag, LineRun::OperatorChange},
    CommandInfo{"32", kFiscal, CheckDepartmentReport, &Flags::departmentReport,
                LineRun::DepartmentReport},
    CommandInfo{"16", CommandGroup::Either, CheckBarcode, kNoFlag, LineRun::Barcode},
    CommandInfo{"17", kFiscal, CheckDailyCommand, &Flags::dailyTotals, LineRun::DailyTotals},
    CommandInfo{"24", kFiscal, CheckFiscalSeriesRead, &Flags::fiscalSeriesRead,
                LineRun::FiscalSeriesRead},
    CommandInfo{"27", kFiscal, CheckTotalizerRead, &Flags::totalizerRead, LineRun::TotalizerRead},
    CommandInfo{"28", kFiscal, CheckTotalizersRead, &Flags::totalizersRead,
                LineRun::TotalizersRead},
    CommandInfo{"18", kFiscal, CheckMfReportByNumber, &Flags::mfReport, LineRun::MfReportByNumber},
    CommandInfo{"19", kFiscal, CheckMfReportByDate, &Flags::mfReport, LineRun::MfReportByDate},
    CommandInfo{"20", kNonFiscal, CheckNonFiscalMark, kNoFlag, LineRun::NonFiscalMark},
    CommandInfo{"21", kNonFiscal, CheckTextLine, kNoFlag, LineRun::NonFiscalText},
    CommandInfo{"25", kNonFiscal, CheckCashInOut, &Flags::cashInOut, LineRun::CashInOut},
    CommandInfo{"102", kNonFiscal, CheckTypedReport, &Flags::typedReportA, LineRun::TypedReportA},
    CommandInfo{"103", kNonFiscal, CheckTypedReport, &Flags::typedReportB, LineRun::TypedReportB},
    CommandInfo{"81", kNonFiscal, CheckJeReportByDate, &Flags::jeReportByDate,
                LineRun::JeReportByDate},
    CommandInfo{"82", kNonFiscal, CheckJeReportByReceipts, &Flags::jeReportByReceipts,
                LineRun::JeReportByReceipts},
    CommandInfo{"76", kNonFiscal, CheckJeReportByZ, &Flags::jeReportByZ, LineRun::JeReportByZ},
    CommandInfo{"78", kNonFiscal, CheckJeReportFromLine, &Flags::jeReportFromLine,
                LineRun::JeReportFromLine},
    CommandInfo{"79", kNonFiscal, CheckJeReceiptsOfZ, &Flags::jeReceiptsOfZ,
                LineRun::JeReceiptsOfZ},
    CommandInfo{"105", kNonFiscal, nullptr, &Flags::stopReport, LineRun::StopReport},
    CommandInfo{"116", kNonFiscal, CheckBeep, &Flags::beep, LineRun::Beep},
    CommandInfo{"42", kNonFiscal, CheckSetDateTime, &Flags::setDateTime, LineRun::SetDateTime},
    CommandInfo{"416", kNonFiscal, CheckXmlExport, &Flags::xmlExport, LineRun::XmlExport},
};

}  // namespace

const CommandInfo* FindCommand(std::string_view code) {
  for (const CommandInfo& command : kCommands) {
    if (command.code == code) return &command;
  }
  return nullptr;
}

std::span<const CommandInfo> AllCommands() { return kCommands; }

std::string UnknownCommandText(const std::string& line) {
  return RefusedWithCode("8006", "Comanda necunoscuta : ", line).message;
}

}  // namespace ruvo
