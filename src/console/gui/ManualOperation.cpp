#include "console/gui/ManualOperation.h"

#include "console/ManualOperations.h"
#include "console/gui/LogoUploadWindow.h"
#include "console/gui/TEExportXML.h"
#include "console/gui/TEInOutSume.h"
#include "console/gui/TEMfReport.h"

namespace ruvo::gui {

bool DiscardsQueuedClicks(ManualOperation operation) {
  return operation == ManualOperation::ZReport || operation == ManualOperation::XReport;
}

void RunManualOperationBody(ManualOperation operation, const ConsoleContext& context,
                            QWidget* window) {
  // Every button may touch a receipt; the operator learns it before filling in a dialog.
  if (RefusedForInterruptedRun(context)) return;
  switch (operation) {
    case ManualOperation::CancelReceipt:
      RunReceiptCancel(context);
      break;
    case ManualOperation::CloseReceipt:
      RunReceiptClose(context);
      break;
    case ManualOperation::CashInOut: {
      TEInOutSume dialog(context, DecimalSeparator(), window);
      dialog.exec();
      break;
    }
    case ManualOperation::LogoUpload:
      UploadLogoFromWindow(context, window);
      break;
    case ManualOperation::ZReport:
      RunZReport(context);
      break;
    case ManualOperation::XReport:
      RunXReport(context);
      break;
    case ManualOperation::MfReportByZ:
      ShowMfReportDialog(context, MfReportMode::ByZNumber, window);
      break;
    case ManualOperation::MfReportByPeriod:
      ShowMfReportDialog(context, MfReportMode::ByPeriod, window);
      break;
    case ManualOperation::ExportXml:
    case ManualOperation::ExportXmlBinary: {
      TEExportXML dialog(context, operation == ManualOperation::ExportXmlBinary, window);
      dialog.exec();
      break;
    }
  }
}

}  // namespace ruvo::gui
