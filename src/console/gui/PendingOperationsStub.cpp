// TEMPORARY: stands in for the logo upload and the XML export until their code arrives.
#include "console/LogoUpload.h"
#include "console/XmlExport.h"

namespace ruvo {

namespace {

bool NotYetAvailable(const ConsoleContext& context) {
  context.driver.op.RomMessageDlg("Operatia nu este disponibila in aceasta versiune.", "",
                                  MsgKind::Information, MsgButtons::Ok);
  return false;
}

}  // namespace

bool LoadLogo(const ConsoleContext& context, const std::string&, ILogoProgress*,
              LogoConfirmation) {
  return NotYetAvailable(context);
}

bool ExportXml(const ConsoleContext& context, const ExportXmlRequest&) {
  return NotYetAvailable(context);
}

}  // namespace ruvo
