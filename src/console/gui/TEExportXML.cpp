#include "console/gui/TEExportXML.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "console/gui/KeyFilter.h"
#include "console/gui/WinText.h"

namespace ruvo::gui {

TEExportXML::TEExportXML(const ConsoleContext& context, bool binaryTransfer, QWidget* parent)
    : OperationDialog(context, "EExportXML", "Export XML", parent, Qt::Tool),
      binaryTransfer_(binaryTransfer) {
  const ExportXmlRequest defaults =
      DefaultExportXmlRequest(context.driver.clock.Now(), binaryTransfer);

  year_ = new QLineEdit(FromWinText(defaults.yearText), this);
  year_->setObjectName("EAn");
  TakeOnlyDigits(*year_);
  month_ = new QComboBox(this);
  month_->setObjectName("CLuna");
  month_->setEditable(false);
  for (int month = 1; month <= 12; ++month) month_->addItem(FromWinText(MonthItem(month)));
  month_->setCurrentText(FromWinText(defaults.monthText));
  QGroupBox* typeBox = RadioGroup("RTip", "  Tip export  ", {"R", "X"}, 2, type_, this);

  QPushButton* start = DialogButton("BStart", "&Start export", this);
  QPushButton* exit = DialogButton("BIesire", "&Iesire", this);
  start->setDefault(true);
  connect(start, &QPushButton::clicked, this, &TEExportXML::OnBStart);
  connect(exit, &QPushButton::clicked, this, &TEExportXML::reject);

  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel("An", this), 0, 0);
  fields->addWidget(year_, 0, 1);
  fields->addWidget(new QLabel("Luna", this), 1, 0);
  fields->addWidget(month_, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(start);
  buttons->addWidget(exit);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addWidget(typeBox);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  FitCaption(layout);
}

ExportXmlRequest TEExportXML::Request() const {
  ExportXmlRequest request;
  request.yearText = ToWinText(year_->text());
  request.monthText = ToWinText(month_->currentText());
  request.type = type_->checkedId() == 1 ? ExportType::X : ExportType::R;
  request.binaryTransfer = binaryTransfer_;
  return request;
}

void TEExportXML::OnBStart() {
  RunOne([this] {
    const ExportXmlRequest request = Request();
    const InputCheck check = CheckExportXmlInput(request);
    if (!check.ok) {
      ShowInputProblemAt(check,
                         check.focus == DialogField::Month ? static_cast<QWidget*>(month_) : year_);
      return;
    }
    ExportXml(context_, request);
  });
}

}  // namespace ruvo::gui
