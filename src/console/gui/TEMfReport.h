#pragma once

#include "console/ManualOperations.h"
#include "console/gui/OperationDialog.h"

class QButtonGroup;
class QLineEdit;
class QWidget;

namespace ruvo::gui {

// The MF and JE reports by Z number (mode 0) or by period (mode 1). The dialog stays open
// after a report so that further ones can follow; Escape stops the report the ECR prints
// ("5005") and leaves the dialog open, also while the report is still being waited for.
class TEMfReport final : public OperationDialog {
  Q_OBJECT
 public:
  TEMfReport(const ConsoleContext& context, MfReportMode mode, QWidget* parent = nullptr);

  // The fields as they are now.
  MfReportRequest Request() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnBStart();
  void OnBStop();
  QWidget* FieldOf(DialogField field) const;

  MfReportMode mode_;
  QButtonGroup* source_ = nullptr;  // RTipMFJE
  QButtonGroup* detail_ = nullptr;  // RTipRap
  QLineEdit* startNumber_ = nullptr;
  QLineEdit* endNumber_ = nullptr;
  QLineEdit* startDate_ = nullptr;
  QLineEdit* endDate_ = nullptr;
  bool stopping_ = false;
};

// "Raport MF/JE dupa numar Z" and "Raport MF/JE pe perioada": the dialog, shown modally.
void ShowMfReportDialog(const ConsoleContext& context, MfReportMode mode, QWidget* parent);

}  // namespace ruvo::gui
