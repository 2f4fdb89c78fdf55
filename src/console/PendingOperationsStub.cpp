// TEMPORARY: stand-ins for the logo upload and the XML export until their own code is
// merged; they are weak, so the real definitions replace them. Delete this file then.
#include "console/LogoUpload.h"
#include "console/XmlExport.h"

namespace ruvo {

__attribute__((weak)) bool LoadLogo(const ConsoleContext& context, const std::string& /*bmpPath*/,
                                    ILogoProgress* /*progress*/,
                                    LogoConfirmation /*confirmation*/) {
  ShowOperationFailure(context, "Incarcarea logo-ului nu este inca disponibila");
  return false;
}

__attribute__((weak)) bool ExportXml(const ConsoleContext& context,
                                     const ExportXmlRequest& /*request*/) {
  ShowOperationFailure(context, "Exportul XML nu este inca disponibil");
  return false;
}

}  // namespace ruvo
