#include "console/gui/TEMfReport.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "console/gui/KeyFilter.h"
#include "console/gui/WinText.h"

namespace ruvo::gui {

namespace {

// "dd.mm.yy"; the blanks of an empty edit show as "  .  .  ".
const char* const kDateMask = "99.99.99";

QLineEdit* Edit(const char* name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  return edit;
}

// A panel of two labelled edits, with an optional title above them.
QFrame* Panel(const char* name, const char* title, const char* firstLabel, QLineEdit* first,
              const char* secondLabel, QLineEdit* second, QWidget* parent) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(name);
  panel->setFrameShape(QFrame::StyledPanel);
  auto* grid = new QGridLayout(panel);
  int row = 0;
  if (title != nullptr) grid->addWidget(new QLabel(title, panel), row++, 0, 1, 2);
  first->setParent(panel);
  second->setParent(panel);
  grid->addWidget(new QLabel(firstLabel, panel), row, 0);
  grid->addWidget(new QLabel(secondLabel, panel), row, 1);
  grid->addWidget(first, row + 1, 0);
  grid->addWidget(second, row + 1, 1);
  return panel;
}

}  // namespace

TEMfReport::TEMfReport(const ConsoleContext& context, MfReportMode mode, QWidget* parent)
    : OperationDialog(context, "EMfReport", QString::fromStdString(MfReportCaption(mode)), parent),
      mode_(mode) {
  QGroupBox* sourceBox = RadioGroup("RTipMFJE", "  Raport  ", {"MF", "JE"}, 1, source_, this);
  QGroupBox* detailBox = RadioGroup("RTipRap", "", {"Detaliat", "Sumar"}, 1, detail_, this);

  startNumber_ = Edit("ENrStart", this);
  endNumber_ = Edit("ENrEnd", this);
  TakeOnlyDigits(*startNumber_);
  TakeOnlyDigits(*endNumber_);
  QFrame* byNumber =
      Panel("PZ", nullptr, "Nr.Inceput", startNumber_, "Nr.Sfarsit", endNumber_, this);

  startDate_ = Edit("EdataStart", this);
  endDate_ = Edit("EDataEnd", this);
  startDate_->setInputMask(kDateMask);
  endDate_->setInputMask(kDateMask);
  QFrame* byPeriod = Panel("PD", "Perioada listata (ZZ.LL.AA)", "Data Inceput", startDate_,
                           "Data Sfarsit", endDate_, this);
  byNumber->setVisible(mode == MfReportMode::ByZNumber);
  byPeriod->setVisible(mode == MfReportMode::ByPeriod);

  QPushButton* start = DialogButton("BStart", "&Start raport", this);
  QPushButton* stop = DialogButton("BStop", "S&top raport", this);
  QPushButton* exit = DialogButton("BitBtn1", "&Iesire", this);
  start->setDefault(true);
  // The only button for the report under way.
  KeepEnabledWhileRunning(stop);
  connect(start, &QPushButton::clicked, this, &TEMfReport::OnBStart);
  connect(stop, &QPushButton::clicked, this, &TEMfReport::OnBStop);
  connect(exit, &QPushButton::clicked, this, &TEMfReport::reject);

  auto* choices = new QHBoxLayout;
  choices->addWidget(sourceBox);
  choices->addWidget(detailBox);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(start);
  buttons->addWidget(stop);
  buttons->addWidget(exit);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(choices);
  layout->addWidget(byNumber);
  layout->addWidget(byPeriod);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  FitCaption(layout);
  (mode == MfReportMode::ByZNumber ? startNumber_ : startDate_)->setFocus();
}

MfReportRequest TEMfReport::Request() const {
  MfReportRequest request;
  request.mode = mode_;
  request.source = source_->checkedId() == 1 ? MfJeSource::JE : MfJeSource::MF;
  request.detail = detail_->checkedId() == 1 ? MfReportDetail::Summary : MfReportDetail::Detailed;
  request.startNumber = ToWinText(startNumber_->text());
  request.endNumber = ToWinText(endNumber_->text());
  request.startDate = ToWinText(startDate_->displayText());
  request.endDate = ToWinText(endDate_->displayText());
  return request;
}

void TEMfReport::keyPressEvent(QKeyEvent* event) {
  // Escape is the stop button's key here; the dialog closes only by "Iesire" or its box.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    OnBStop();
    return;
  }
  OperationDialog::keyPressEvent(event);
}

void TEMfReport::OnBStart() {
  RunOne([this] {
    const MfReportRequest request = Request();
    const InputCheck check = CheckMfReportInput(request);
    if (!check.ok) {
      ShowInputProblemAt(check, FieldOf(check.focus));
      return;
    }
    RunMfReport(context_, request);
  });
}

// Meant to be pressed while a report is printing: it does not wait for the report, only
// for a stop already on its way.
void TEMfReport::OnBStop() {
  if (stopping_) return;
  stopping_ = true;
  StopMfReport(context_);
  stopping_ = false;
}

QWidget* TEMfReport::FieldOf(DialogField field) const {
  switch (field) {
    case DialogField::StartNumber:
      return startNumber_;
    case DialogField::EndNumber:
      return endNumber_;
    case DialogField::StartDate:
      return startDate_;
    case DialogField::EndDate:
      return endDate_;
    default:
      return nullptr;
  }
}

void ShowMfReportDialog(const ConsoleContext& context, MfReportMode mode, QWidget* parent) {
  TEMfReport dialog(context, mode, parent);
  dialog.exec();
}

}  // namespace ruvo::gui
