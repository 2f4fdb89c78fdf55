#pragma once

#include <string>

#include "console/DialogInput.h"
#include "console/OperationFrame.h"
#include "platform/Clock.h"

namespace ruvo {

enum class ExportType { R = 0, X = 1 };  // RTip

inline const std::string kExportYearMessage = "Anul exportului este eronat";
inline const std::string kExportMonthMessage = "Luna exportului este eronata";

// The dialog TEExportXML as filled in.
struct ExportXmlRequest {
  std::string yearText;   // EAn as typed
  std::string monthText;  // CLuna: " 1" .. "12"; blanks around the number are ignored
  ExportType type = ExportType::R;
  bool binaryTransfer = false;  // "Export XML (7404)"
};

// The dialog as it opens: the current year and month, "R".
ExportXmlRequest DefaultExportXmlRequest(const LocalDateTime& now, bool binaryTransfer);
// " 1" .. "12": the list item of a month.
std::string MonthItem(int month);
// The year must be greater than 2017 ("Anul exportului este eronat", caption "Eroare ",
// focus to EAn); it must also fit the four digits of the request. A month outside 1..12
// (only possible from the control socket) is refused as well.
InputCheck CheckExportXmlInput(const ExportXmlRequest& request);
// The month number of a request that passed the check.
int ExportMonth(const ExportXmlRequest& request);
// The year of a request that passed the check, without the leading zeros a typed or
// pasted text may carry, so that the request and the file name always get four digits.
std::string ExportYearText(const ExportXmlRequest& request);

// "Start export": the check, then the request, the readiness wait, the transfer and the
// archive ExportXML/<year><month>_<series>.ZIP, with its messages and "Log_ExportXML_".
// The diagnostic messages follow the "MesajLaListareItem" setting.
bool ExportXml(const ConsoleContext& context, const ExportXmlRequest& request);

}  // namespace ruvo
