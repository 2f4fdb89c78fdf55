#pragma once

#include "console/XmlExport.h"
#include "console/gui/OperationDialog.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;

namespace ruvo::gui {

// The monthly XML export: year, month and type "R" or "X"; the archive comes as hex text
// pieces ("Export XML") or in one binary answer ("Export XML (7404)"). The dialog stays
// open after each export.
class TEExportXML final : public OperationDialog {
  Q_OBJECT
 public:
  TEExportXML(const ConsoleContext& context, bool binaryTransfer, QWidget* parent = nullptr);

  ExportXmlRequest Request() const;

 private:
  void OnBStart();

  bool binaryTransfer_;
  QLineEdit* year_ = nullptr;     // EAn
  QComboBox* month_ = nullptr;    // CLuna
  QButtonGroup* type_ = nullptr;  // RTip
};

}  // namespace ruvo::gui
