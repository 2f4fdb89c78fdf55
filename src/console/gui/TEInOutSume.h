#pragma once

#include "console/ManualOperations.h"
#include "console/gui/OperationDialog.h"

class QButtonGroup;
class QLineEdit;

namespace ruvo::gui {

// Cash put into ("Intrare numerar") or taken out of ("Iesire numerar") the drawer. The
// amount takes from the keyboard only digits, Backspace and the decimal separator; the
// dialog stays open after each operation.
class TEInOutSume final : public OperationDialog {
  Q_OBJECT
 public:
  TEInOutSume(const ConsoleContext& context, char decimalSeparator = DecimalSeparator(),
              QWidget* parent = nullptr);

  CashRequest Request() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void OnRTipOper(int operation);
  void OnBStart();

  char decimalSeparator_;
  QButtonGroup* operation_ = nullptr;  // RTipOper
  QLineEdit* amount_ = nullptr;        // ENrStart
  QLineEdit* reason_ = nullptr;        // ENrEnd
};

}  // namespace ruvo::gui
