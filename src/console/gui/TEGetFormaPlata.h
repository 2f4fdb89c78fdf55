#pragma once

#include <QDialog>

class QButtonGroup;

namespace ruvo::gui {

// Asked during a receipt when the ECR refuses a payment form: another form (1..7) and OK,
// or "Anuleaza bon" (also Escape and the close box) to cancel the receipt.
class TEGetFormaPlata final : public QDialog {
  Q_OBJECT
 public:
  explicit TEGetFormaPlata(QWidget* parent = nullptr);

  // The chosen payment form code, 1..7.
  int PaymentForm() const;

 private:
  QButtonGroup* forms_ = nullptr;
};

// Shows the dialog modally: true with the chosen form, false to cancel the receipt.
bool AskPaymentForm(int& paymentForm, QWidget* parent = nullptr);

}  // namespace ruvo::gui
