#include "console/gui/TEInOutSume.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "console/gui/KeyFilter.h"
#include "console/gui/WinText.h"

namespace ruvo::gui {

TEInOutSume::TEInOutSume(const ConsoleContext& context, char decimalSeparator, QWidget* parent)
    : OperationDialog(context, "EInOutSume", "Intrare / iesire numerar sertar", parent),
      decimalSeparator_(decimalSeparator) {
  QGroupBox* operationBox = RadioGroup("RTipOper", "    Tipul  operatiei      ",
                                       {"Intrare numerar", "Iesire numerar"}, 2, operation_, this);
  connect(operation_, &QButtonGroup::idClicked, this, &TEInOutSume::OnRTipOper);

  amount_ = new QLineEdit(this);
  amount_->setObjectName("ENrStart");
  TakeOnlyAmount(*amount_, decimalSeparator_);
  reason_ = new QLineEdit(FromWinText(kOpeningFloatReason), this);
  reason_->setObjectName("ENrEnd");
  reason_->setMaxLength(static_cast<int>(kCashReasonMaxLength));

  QPushButton* start = DialogButton("BStart", "&Start operatie", this);
  QPushButton* exit = DialogButton("BitBtn1", "&Iesire", this);
  start->setDefault(true);
  connect(start, &QPushButton::clicked, this, &TEInOutSume::OnBStart);
  connect(exit, &QPushButton::clicked, this, &TEInOutSume::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(start);
  buttons->addWidget(exit);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(operationBox);
  layout->addWidget(new QLabel("Suma : ", this));
  layout->addWidget(amount_);
  layout->addWidget(new QLabel("Motivul efectuarii operatiei :", this));
  layout->addWidget(reason_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  FitCaption(layout);
}

CashRequest TEInOutSume::Request() const {
  CashRequest request;
  request.operation = operation_->checkedId() == 1 ? CashOperation::CashOut : CashOperation::CashIn;
  request.amountText = ToWinText(amount_->text());
  request.reason = ToWinText(reason_->text());
  request.decimalSeparator = decimalSeparator_;
  return request;
}

void TEInOutSume::showEvent(QShowEvent* event) {
  OperationDialog::showEvent(event);
  amount_->setFocus();
}

void TEInOutSume::OnRTipOper(int operation) {
  reason_->setText(
      FromWinText(CashReasonFor(operation == 1 ? CashOperation::CashOut : CashOperation::CashIn)));
  amount_->setFocus();
}

void TEInOutSume::OnBStart() {
  RunOne([this] {
    const CashRequest request = Request();
    const InputCheck check = CheckCashInput(request);
    if (!check.ok) {
      ShowInputProblemAt(check, check.focus == DialogField::Reason ? reason_ : amount_);
      return;
    }
    RunCashInOut(context_, request);
  });
}

}  // namespace ruvo::gui
