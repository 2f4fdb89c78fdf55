#pragma once

#include "console/OperationFrame.h"

class QWidget;

namespace ruvo::gui {

// The manual operations of the window's panel, one per button.
enum class ManualOperation {
  CancelReceipt,     // BanulareBon
  CloseReceipt,      // BInchidere
  CashInOut,         // BitBtn2
  LogoUpload,        // BLogoGrafic
  ZReport,           // BRaportZilnic
  XReport,           // BRaportX
  MfReportByZ,       // BRaportMFZ
  MfReportByPeriod,  // BraportMFD
  ExportXml,         // BExportXML
  ExportXmlBinary,   // BExportXML2
};

struct ManualButton {
  const char* name;  // the button's object name
  const char* caption;
  int page;  // 0 "Comenzi", 1 "Rapoarte MF/JE"
  ManualOperation operation;
};

inline constexpr ManualButton kManualButtons[] = {
    {"BanulareBon", "Anulare bon", 0, ManualOperation::CancelReceipt},
    {"BInchidere", "Inchidere bon", 0, ManualOperation::CloseReceipt},
    {"BitBtn2", "Intrare/Iesire numerar sertar", 0, ManualOperation::CashInOut},
    {"BLogoGrafic", "Incarcare logo grafic", 0, ManualOperation::LogoUpload},
    {"BRaportZilnic", "Raport zilnic", 1, ManualOperation::ZReport},
    {"BRaportX", "Raport X", 1, ManualOperation::XReport},
    {"BRaportMFZ", "Raport MF/JE dupa numar Z", 1, ManualOperation::MfReportByZ},
    {"BraportMFD", "Raport MF/JE pe perioada", 1, ManualOperation::MfReportByPeriod},
    {"BExportXML", "Export XML", 1, ManualOperation::ExportXml},
    {"BExportXML2", "Export XML (7404)", 1, ManualOperation::ExportXmlBinary},
};

// The Z and X reports: clicks queued on their buttons during the report are dropped.
bool DiscardsQueuedClicks(ManualOperation operation);

// Runs one manual operation on the frame's context: the receipt buttons and the Z and X
// reports directly, the others through their dialogs over window (which the logo upload
// disables while its pieces travel). Every message goes through the context's operator.
// Called only while processing is stopped and nothing else runs.
void RunManualOperationBody(ManualOperation operation, const ConsoleContext& context,
                            QWidget* window);

}  // namespace ruvo::gui
