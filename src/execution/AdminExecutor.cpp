#include "execution/AdminExecutor.h"

#include <string>

#include "execution/ExportTransfer.h"
#include "execution/ReceiptExecutorCommands.h"
#include "platform/Log.h"
#include "receipt/CommandTable.h"
#include "receipt/Fields.h"
#include "receipt/NumericRules.h"
#include "receipt/PortSelection.h"

namespace ruvo {

namespace {

// A garbled export could beep for every byte; the operator and the log get the first few.
constexpr int kBeepLinesShown = 10;

int IntField(const Fields& fields, std::size_t index, std::int32_t fallback = 0) {
  return IntValue(FieldOrEmpty(fields, index), fallback);
}

// Characters `from`, `from + 1` of a packed field ("42": DDMMYY and HHMM) as an integer.
int PackedPart(const Fields& fields, std::size_t index, std::size_t from) {
  const std::string& text = FieldOrEmpty(fields, index);
  return from < text.size() ? IntValue(text.substr(from, 2)) : 0;
}

// A file of only "20", "21", "16" and port lines is a non-fiscal receipt of its own;
// any report, cash or clock command means the lines go to the ECR without one.
bool NeedsNonFiscalReceipt(const PresenceFlags& f) {
  return !(f.typedReportA || f.typedReportB || f.jeReportByDate || f.jeReportByReceipts ||
           f.jeReportByZ || f.jeReportFromLine || f.jeReceiptsOfZ || f.stopReport || f.beep ||
           f.cashInOut || f.setDateTime || f.xmlExport);
}

class AdminLines {
 public:
  AdminLines(ReceiptRun& run, TXruvoLinux& link) : run_(run), link_(link) {}

  // One line by its command table row; false when its ECR operation failed, or when its
  // code is no command of this executor (then Refusal() holds the answer).
  bool Run(const std::string& line, const Fields& f) {
    const CommandInfo* command = FindCommand(f[0]);
    if (command == nullptr) {
      // The port-selection line was used to open the link; it is no ECR command.
      if (IsPortSelectionCode(f[0])) return true;
      return Refuse(line);
    }
    switch (command->run) {
      case LineRun::Barcode:
        return link_.PrintBarcode(IntField(f, 1), IntField(f, 2), IntField(f, 3),
                                  FieldOrEmpty(f, 4));
      case LineRun::NonFiscalMark:
        return true;  // the receipt it marks is opened and closed around the lines
      case LineRun::NonFiscalText:
        return link_.PrintNonFiscalText(FieldOrEmpty(f, 1), FieldOrEmpty(f, 2));
      case LineRun::CashInOut:
        return CashInOut(f);
      case LineRun::TypedReportA:
        return link_.PrintTypedReportA(IntField(f, 1, -1));
      case LineRun::TypedReportB:
        return link_.PrintTypedReportB(IntField(f, 1, -1));
      case LineRun::JeReportByDate:
        return link_.PrintJEReportByDate(IntField(f, 1), IntField(f, 2), IntField(f, 3),
                                         IntField(f, 4), IntField(f, 5), IntField(f, 6));
      case LineRun::JeReportByReceipts:
        return link_.PrintJEReportByReceipts(IntField(f, 1), IntField(f, 2), IntField(f, 3),
                                             IntField(f, 4), IntField(f, 5));
      case LineRun::JeReportByZ:
        return link_.PrintJEReportByZ(IntField(f, 1), IntField(f, 2));
      case LineRun::JeReportFromLine:
        return link_.PrintJEReportFromLine(Int64Value(FieldOrEmpty(f, 1)));
      case LineRun::JeReceiptsOfZ:
        if (!link_.PrintJEReceiptsOfZ(IntField(f, 1), IntField(f, 2), IntField(f, 3))) return false;
        reportAnswer_ = link_.ReportAnswer();
        return true;
      case LineRun::StopReport:
        return link_.StopReport();
      case LineRun::Beep:
        return link_.Beep(IntField(f, 1), IntField(f, 2));
      case LineRun::SetDateTime:
        return link_.SetDateTime(PackedPart(f, 1, 0), PackedPart(f, 1, 2), PackedPart(f, 1, 4),
                                 PackedPart(f, 2, 0), PackedPart(f, 2, 2));
      case LineRun::XmlExport:
        return XmlExport(f);
      // The fiscal executor's commands.
      case LineRun::FinishReceipt:
      case LineRun::Sale:
      case LineRun::AdvanceRefund:
      case LineRun::ReturnablePackaging:
      case LineRun::FontText:
      case LineRun::PaymentMark:
      case LineRun::Payment:
      case LineRun::Discount:
      case LineRun::Subtotal:
      case LineRun::TwoPartText:
      case LineRun::HeaderText:
      case LineRun::FooterText:
      case LineRun::TextAfterClose:
      case LineRun::ReceiptStateQuery:
      case LineRun::CancelReceipt:
      case LineRun::ZReport:
      case LineRun::XReport:
      case LineRun::OperatorChange:
      case LineRun::DepartmentReport:
      case LineRun::DailyTotals:
      case LineRun::FiscalSeriesRead:
      case LineRun::TotalizerRead:
      case LineRun::TotalizersRead:
      case LineRun::MfReportByNumber:
      case LineRun::MfReportByDate:
        break;
    }
    return Refuse(line);
  }

  const std::optional<std::string>& Refusal() const { return refusal_; }
  const std::optional<std::string>& DrawerCash() const { return drawerCash_; }
  const std::optional<std::string>& ReportAnswer() const { return reportAnswer_; }

 private:
  bool Refuse(const std::string& line) {
    refusal_ = UnknownCommandText(line);
    return false;
  }

  bool CashInOut(const Fields& f) {
    const std::string& operation = FieldOrEmpty(f, 1);
    const double amount =
        operation == "R" ? 0.0 : static_cast<double>(Int64Value(FieldOrEmpty(f, 2))) / 100.0;
    if (!link_.CashInOut(operation, amount)) return false;
    drawerCash_ = link_.Engine().LastAnswer();
    return true;
  }

  bool XmlExport(const Fields& f) {
    const bool withReportNumbers = f.size() >= 7;
    const int month = IntField(f, 2);
    if (!link_.StartXmlExport(FieldOrEmpty(f, 1), month, FieldOrEmpty(f, 3),
                              withReportNumbers ? f[5] : std::string(),
                              withReportNumbers ? f[6] : std::string())) {
      return false;
    }
    const std::string& mode = FieldOrEmpty(f, 4);
    if (f.size() < 5 || (mode != "1" && mode != "2")) return true;

    ExportTransferRequest request;
    request.year = f[1];
    request.month = month;
    request.typeX = FieldOrEmpty(f, 3) == "X";
    request.mode = mode == "2" ? kExportModeBinary : kExportModeHexPieces;
    int beeps = 0;
    ExportTransferHooks hooks;
    hooks.beep = [&] {
      if (++beeps > kBeepLinesShown) return;
      run_.op.Beep();
      Log(LogLevel::Warning, "Export XML: pereche nehexazecimala");
    };
    const ExportTransferResult result =
        TransferMonthlyExport(link_, run_.clock, run_.state.workingFolder, request, hooks);
    run_.state.fiscalSeries = result.fiscalSeries;
    // The transfer's own failures are in the log; the file goes on as the ECR ran it.
    return true;
  }

  ReceiptRun& run_;
  TXruvoLinux& link_;
  std::optional<std::string> drawerCash_;
  std::optional<std::string> reportAnswer_;
  std::optional<std::string> refusal_;
};

// The number of the non-fiscal receipt just closed: the "4004" answer, or when that
// carried none, the document number of the "1111" sent just before it.
std::string ClosedNonFiscalNumber(const TXruvoLinux& link) {
  return link.Engine().LastAnswer().empty() ? link.DocumentNumberText()
                                            : link.Engine().LastAnswer();
}

}  // namespace

void ExecuteNonFiscalAndReports(ReceiptRun& run, TXruvoLinux& link) {
  ResponseItems& response = run.file.response;
  auto fail = [&] { run.response.WriteResponse(link.Engine().LastError()); };

  if (std::optional<std::string> refusal = LineNotServed(run.lines, CommandGroup::NonFiscal)) {
    return run.response.Refuse(*refusal);
  }

  // Texts and barcodes skip the ready check of their own; without a line they would
  // only wait for their time-outs.
  if (!link.Engine().IsReady()) return fail();

  const bool nonFiscalReceipt = NeedsNonFiscalReceipt(run.validation.flags);
  if (nonFiscalReceipt && !link.OpenNonFiscalReceipt()) return fail();

  AdminLines lines(run, link);
  for (const std::string& line : run.lines) {
    const Fields fields = SplitFields(line);
    if (fields.empty()) continue;
    if (!lines.Run(line, fields)) {
      return run.response.WriteResponse(lines.Refusal().value_or(link.Engine().LastError()));
    }
  }

  if (nonFiscalReceipt) {
    if (!link.CloseNonFiscalReceipt()) return fail();
    response.nonFiscalReceiptNumber = ClosedNonFiscalNumber(link);
  }
  if (lines.DrawerCash()) response.drawerCash = lines.DrawerCash();
  if (lines.ReportAnswer()) response.administrativeAnswer = lines.ReportAnswer();
  run.response.WriteResponse(kResponseOk);
}

}  // namespace ruvo
