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
constexpr AloneRule kMayAccompany{};

constexpr std::string_view kFinishAlone =
    "Comanda de finalizare bon nu poate fi insotita de alte comenzi";
constexpr std::string_view kDailyAlone =
    "Comanda de raport zilnic nu poate fi insotita de alte comenzi";
constexpr std::string_view kDepartmentAlone =
    "Comanda de raport pe departamenter nu poate fi insotita de alte comenzi";
constexpr std::string_view kSeriesAlone =
    "Comanda de citire serie fiscala nu poate fi insotita de alte comenzi";
constexpr std::string_view kMfAlone = "Comanda de raport MF nu poate fi insotita de alte comenzi";
constexpr std::string_view kTotalizerAlone =
    "Comanda de citire totalizator nu poate fi insotita de alte comenzi";

// A command is written here once: its code, its group, its checker, the presence flag it
// sets and how it runs on the ECR (see "How to add a receipt command" in DEVELOPERS.md).
constexpr std::array kCommands = {
    CommandInfo{"0", kFiscal, CheckFinishReceipt, &Flags::finishReceipt, LineRun::FinishReceipt,
                AloneRule{"8027", kFinishAlone}},
    CommandInfo{"1", kFiscal, CheckSaleLine, &Flags::sale, LineRun::Sale, kMayAccompany},
    CommandInfo{"100", kFiscal, CheckFixedNameLine, kNoFlag, LineRun::AdvanceRefund, kMayAccompany},
    CommandInfo{"101", kFiscal, CheckFixedNameLine, kNoFlag, LineRun::ReturnablePackaging,
                kMayAccompany},
    CommandInfo{"2", kFiscal, CheckTextLine, kNoFlag, LineRun::FontText, kMayAccompany},
    CommandInfo{"3", kFiscal, nullptr, &Flags::payment, LineRun::PaymentMark, kMayAccompany},
    CommandInfo{"5", kFiscal, CheckPayment, &Flags::payment, LineRun::Payment, kMayAccompany},
    CommandInfo{"7", kFiscal, CheckDiscount, kNoFlag, LineRun::Discount, kMayAccompany},
    CommandInfo{"8", kFiscal, CheckSubtotal, kNoFlag, LineRun::Subtotal, kMayAccompany},
    CommandInfo{"10", kFiscal, CheckTwoPartText, &Flags::loneText, LineRun::TwoPartText,
                kMayAccompany},
    CommandInfo{"11", kFiscal, CheckTextLine, kNoFlag, LineRun::HeaderText, kMayAccompany},
    CommandInfo{"111", kFiscal, CheckTextLine, kNoFlag, LineRun::FooterText, kMayAccompany},
    CommandInfo{"12", kFiscal, CheckTextLine, kNoFlag, LineRun::TextAfterClose, kMayAccompany},
    CommandInfo{"9999", kFiscal, nullptr, &Flags::receiptStateQuery, LineRun::ReceiptStateQuery,
                kMayAccompany},
    CommandInfo{"14", kFiscal, CheckDailyCommand, &Flags::cancelReceipt, LineRun::CancelReceipt,
                AloneRule{"8027", kDailyAlone}},
    CommandInfo{"15", kFiscal, CheckDailyCommand, &Flags::dailyReport, LineRun::ZReport,
                AloneRule{"8027", kDailyAlone}},
    CommandInfo{"30", kFiscal, CheckDailyCommand, &Flags::xReport, LineRun::XReport,
                AloneRule{"8027", kDailyAlone}},
    CommandInfo{"31", kFiscal, CheckOperatorChange, kNoFlag, LineRun::OperatorChange,
                kMayAccompany},
    CommandInfo{"32", kFiscal, CheckDepartmentReport, &Flags::departmentReport,
                LineRun::DepartmentReport, AloneRule{"8027", kDepartmentAlone}},
    CommandInfo{"16", CommandGroup::Either, CheckBarcode, kNoFlag, LineRun::Barcode, kMayAccompany},
    CommandInfo{"17", kFiscal, CheckDailyCommand, &Flags::dailyTotals, LineRun::DailyTotals,
                AloneRule{"8027", kDailyAlone}},
    CommandInfo{"24", kFiscal, CheckFiscalSeriesRead, &Flags::fiscalSeriesRead,
                LineRun::FiscalSeriesRead, AloneRule{"8038", kSeriesAlone}},
    CommandInfo{"27", kFiscal, CheckTotalizerRead, &Flags::totalizerRead, LineRun::TotalizerRead,
                AloneRule{"8038", kTotalizerAlone}},
    CommandInfo{"28", kFiscal, CheckTotalizersRead, &Flags::totalizersRead, LineRun::TotalizersRead,
                AloneRule{"8045", kTotalizerAlone}},
    CommandInfo{"18", kFiscal, CheckMfReportByNumber, &Flags::mfReport, LineRun::MfReportByNumber,
                AloneRule{"8027", kMfAlone}},
    CommandInfo{"19", kFiscal, CheckMfReportByDate, &Flags::mfReport, LineRun::MfReportByDate,
                AloneRule{"8027", kMfAlone}},
    CommandInfo{"20", kNonFiscal, CheckNonFiscalMark, kNoFlag, LineRun::NonFiscalMark,
                kMayAccompany},
    CommandInfo{"21", kNonFiscal, CheckTextLine, kNoFlag, LineRun::NonFiscalText, kMayAccompany},
    CommandInfo{"25", kNonFiscal, CheckCashInOut, &Flags::cashInOut, LineRun::CashInOut,
                kMayAccompany},
    CommandInfo{"102", kNonFiscal, CheckTypedReport, &Flags::typedReportA, LineRun::TypedReportA,
                kMayAccompany},
    CommandInfo{"103", kNonFiscal, CheckTypedReport, &Flags::typedReportB, LineRun::TypedReportB,
                kMayAccompany},
    CommandInfo{"81", kNonFiscal, CheckJeReportByDate, &Flags::jeReportByDate,
                LineRun::JeReportByDate, AloneRule{"8027", kMfAlone}},
    CommandInfo{"82", kNonFiscal, CheckJeReportByReceipts, &Flags::jeReportByReceipts,
                LineRun::JeReportByReceipts, AloneRule{"8027", kMfAlone}},
    CommandInfo{"76", kNonFiscal, CheckJeReportByZ, &Flags::jeReportByZ, LineRun::JeReportByZ,
                AloneRule{"8027", kMfAlone}},
    CommandInfo{"78", kNonFiscal, CheckJeReportFromLine, &Flags::jeReportFromLine,
                LineRun::JeReportFromLine, AloneRule{"8027", kMfAlone}},
    CommandInfo{"79", kNonFiscal, CheckJeReceiptsOfZ, &Flags::jeReceiptsOfZ, LineRun::JeReceiptsOfZ,
                AloneRule{"8027", kMfAlone}},
    CommandInfo{"105", kNonFiscal, nullptr, &Flags::stopReport, LineRun::StopReport, kMayAccompany},
    CommandInfo{"116", kNonFiscal, CheckBeep, &Flags::beep, LineRun::Beep,
                AloneRule{"8027", kMfAlone}},
    CommandInfo{"42", kNonFiscal, CheckSetDateTime, &Flags::setDateTime, LineRun::SetDateTime,
                kMayAccompany},
    CommandInfo{"416", kNonFiscal, CheckXmlExport, &Flags::xmlExport, LineRun::XmlExport,
                kMayAccompany},
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
