#include "console/gui/OperationDialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace ruvo::gui {

namespace {

// What a title bar needs beside its caption: the icon, the close box, margins.
constexpr int kTitleBarExtra = 140;

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
  if (running_) return;
  running_ = true;
  struct Done {
    bool& running;
    ~Done() { running = false; }
  } done{running_};
  operation();
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
  adjustSize();
  // Wide enough for the whole caption beside the title bar's icon and buttons.
  const int captionWidth = fontMetrics().horizontalAdvance(windowTitle()) + kTitleBarExtra;
  if (width() < captionWidth) resize(captionWidth, height());
  if (const QScreen* screen = QApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void OperationDialog::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void OperationDialog::reject() {
  if (!running_) QDialog::reject();
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
