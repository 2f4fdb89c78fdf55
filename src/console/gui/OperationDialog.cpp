#include "console/gui/OperationDialog.h"

#include <QApplication>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace ruvo::gui {

namespace {

// What a title bar needs beside its caption: the icon, the close box, margins.
constexpr int kTitleBarExtra = 160;
// The property of a button that stays usable while the dialog's operation runs.
constexpr const char* kWhileRunning = "ruvoWhileRunning";

}  // namespace

OperationDialog::OperationDialog(const ConsoleContext& context, const char* formName,
                                 const QString& caption, QWidget* parent,
                                 Qt::WindowFlags extraFlags)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | extraFlags),
      context_(context) {
  setObjectName(formName);
  setWindowTitle(caption);
  setModal(true);
}

void OperationDialog::RunOne(const std::function<void()>& operation) {
  if (running_) {
    QApplication::beep();
    return;
  }
  running_ = true;
  // A disabled button that had the focus would hand it to the next one, and Enter would
  // press that one (the report's stop); the dialog keeps it meanwhile.
  QWidget* focus = QApplication::focusWidget();
  const QPointer<QWidget> focused = focus != nullptr && isAncestorOf(focus) ? focus : nullptr;
  if (focused != nullptr) setFocus(Qt::OtherFocusReason);
  struct Done {
    bool& running;
    QList<QPushButton*> held;
    QPointer<QWidget> focused;
    ~Done() {
      running = false;
      for (QPushButton* button : held) button->setEnabled(true);
      if (focused != nullptr) focused->setFocus(Qt::OtherFocusReason);
    }
  } done{running_, HoldButtons(), focused};
  operation();
}

QList<QPushButton*> OperationDialog::HoldButtons() {
  QList<QPushButton*> held;
  for (QPushButton* button : findChildren<QPushButton*>()) {
    if (!button->isEnabled() || button->property(kWhileRunning).toBool()) continue;
    button->setEnabled(false);
    held << button;
  }
  return held;
}

void OperationDialog::KeepEnabledWhileRunning(QPushButton* button) {
  button->setProperty(kWhileRunning, true);
}

void OperationDialog::FitCaption(QBoxLayout* layout) {
  // Title bars mostly draw their caption in bold, often larger than the dialog's text.
  QFont titleFont = font();
  titleFont.setBold(true);
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.1);
  layout->addStrut(QFontMetrics(titleFont).horizontalAdvance(windowTitle()) + kTitleBarExtra);
}

void OperationDialog::ShowInputProblemAt(const InputCheck& check, QWidget* field) {
  ShowInputProblem(context_.driver.op, check);
  if (field == nullptr) return;
  field->setFocus(Qt::OtherFocusReason);
  if (check.focus != DialogField::Amount) return;
  if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->selectAll();
}

void OperationDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (const QScreen* screen = QApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void OperationDialog::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();
    QApplication::beep();
    return;
  }
  QDialog::closeEvent(event);
}

void OperationDialog::reject() {
  if (running_) {
    QApplication::beep();
    return;
  }
  QDialog::reject();
}

QPushButton* DialogButton(const char* name, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  return button;
}

QGroupBox* RadioGroup(const char* name, const QString& title, const QStringList& items, int columns,
                      QButtonGroup*& group, QWidget* parent) {
  auto* box = new QGroupBox(title, parent);
  box->setObjectName(name);
  auto* grid = new QGridLayout(box);
  group = new QButtonGroup(box);
  const int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
  for (int k = 0; k < items.size(); ++k) {
    auto* item = new QRadioButton(items[k], box);
    group->addButton(item, k);
    grid->addWidget(item, k % rows, k / rows);
  }
  if (!items.isEmpty()) group->button(0)->setChecked(true);
  return box;
}

}  // namespace ruvo::gui
