#pragma once

// Every manual operation of the main window, UI-neutral: the window's buttons and dialogs,
// and the control socket, call these. Each one runs in the operation frame (a link of its
// own, its messages through the context's operator, its log) and returns true when the
// ECR did what was asked.

#include <string>

#include "console/DialogInput.h"
#include "console/LogoUpload.h"
#include "console/OperationFrame.h"
#include "console/XmlExport.h"
#include "platform/Locale.h"

namespace ruvo {

// --- Receipt cancel and close (page "Comenzi") ------------------------------------------

// "Anulare bon": cancels the fiscal receipt open in the ECR, after the state check.
bool RunReceiptCancel(const ConsoleContext& context);
// "Inchidere bon": finishes a paid receipt, cancels an unpaid one; true also when no
// receipt was open (nothing is sent then).
bool RunReceiptClose(const ConsoleContext& context);

// --- Daily reports -----------------------------------------------------------------------

// "Raport zilnic" and "Raport X": the state check, the report, the log, and the 500 ms
// pause after which the window discards the clicks queued on the button meanwhile.
bool RunZReport(const ConsoleContext& context);
bool RunXReport(const ConsoleContext& context);

// --- MF and JE reports (TEMfReport) ------------------------------------------------------

enum class MfReportMode { ByZNumber = 0, ByPeriod = 1 };  // ReportMode
enum class MfJeSource { MF = 0, JE = 1 };                 // RTipMFJE
enum class MfReportDetail { Detailed = 0, Summary = 1 };  // RTipRap, MF by period only

inline const std::string kEmptyDateText = "  .  .  ";

// The dialog's fields as typed; dates as the masked edits show them ("dd.mm.yy").
struct MfReportRequest {
  MfReportMode mode = MfReportMode::ByZNumber;
  MfJeSource source = MfJeSource::MF;
  MfReportDetail detail = MfReportDetail::Detailed;
  std::string startNumber;
  std::string endNumber;
  std::string startDate = kEmptyDateText;
  std::string endDate = kEmptyDateText;
};

// "Raport MF/JE dupa numar Z" or "Raport MF pe perioada".
std::string MfReportCaption(MfReportMode mode);
// The checks of "Start raport", in their order; the first failure is returned.
InputCheck CheckMfReportInput(const MfReportRequest& request);
// "Start raport": the check (its message shown on failure, nothing sent), then the report.
bool RunMfReport(const ConsoleContext& context, const MfReportRequest& request);
// "Stop raport" (Escape): "5005" on a link of its own, without a log.
bool StopMfReport(const ConsoleContext& context);

// --- Cash in and cash out (TEInOutSume) ---------------------------------------------------

enum class CashOperation { CashIn = 0, CashOut = 1 };  // RTipOper

inline const std::string kOpeningFloatReason = "SOLD INITIAL";
constexpr std::size_t kCashReasonMaxLength = 32;

// The reason the dialog puts in when the operation is chosen: "SOLD INITIAL" or empty.
std::string CashReasonFor(CashOperation operation);

struct CashRequest {
  CashOperation operation = CashOperation::CashIn;
  std::string amountText;  // as typed, with decimalSeparator
  std::string reason = kOpeningFloatReason;
  char decimalSeparator = DecimalSeparator();
};

// The amount check of "Start operatie" ("Suma eronata !", caption "Eroare", warning kind,
// focus on the amount with its text selected), then the reason's length and characters.
InputCheck CheckCashInput(const CashRequest& request);
// "Start operatie": the check, then "7106D"/"7106P" with the amount; the reason is written
// into the operation's log.
bool RunCashInOut(const ConsoleContext& context, const CashRequest& request);

}  // namespace ruvo
