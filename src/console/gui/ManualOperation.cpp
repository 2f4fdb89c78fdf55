#include "console/gui/ManualOperation.h"

namespace ruvo::gui {

bool DiscardsQueuedClicks(ManualOperation operation) {
  return operation == ManualOperation::ZReport || operation == ManualOperation::XReport;
}

void RunManualOperationBody(ManualOperation operation, const ConsoleContext& context) {
  switch (operation) {
    case ManualOperation::CancelReceipt:
    case ManualOperation::CloseReceipt:
    case ManualOperation::CashInOut:
    case ManualOperation::LogoUpload:
    case ManualOperation::ZReport:
    case ManualOperation::XReport:
    case ManualOperation::MfReportByZ:
    case ManualOperation::MfReportByPeriod:
    case ManualOperation::ExportXml:
    case ManualOperation::ExportXmlBinary:
      // Not part of this build yet: said plainly rather than doing nothing.
      context.driver.op.RomMessageDlg("Operatia nu este disponibila in aceasta versiune.", "",
                                      MsgKind::Information, MsgButtons::Ok);
      break;
  }
}

}  // namespace ruvo::gui
