#pragma once

#include <QDialog>
#include <functional>

#include "console/DialogInput.h"
#include "console/OperationFrame.h"

class QAbstractButton;
class QButtonGroup;
class QGroupBox;
class QPushButton;

namespace ruvo::gui {

// What the three dialogs of the manual operations share: the main window's context, a
// centred modal window, and one operation at a time. While an operation waits for the ECR
// the window keeps handling events, so a second start, "Iesire", Escape or the close box
// could arrive meanwhile: they wait until it has ended.
class OperationDialog : public QDialog {
  Q_OBJECT
 public:
  OperationDialog(const ConsoleContext& context, const char* formName, const QString& caption,
                  QWidget* parent, Qt::WindowFlags extraFlags = {});

  bool Running() const { return running_; }

 protected:
  // Runs the operation unless one is already running.
  void RunOne(const std::function<void()>& operation);
  // A refused input: its message, then the focus to the field (its text selected when
  // the check asks for that).
  void ShowInputProblemAt(const InputCheck& check, QWidget* field);

  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

  const ConsoleContext context_;

 private:
  bool running_ = false;
};

// A button of a dialog with its object name and caption.
QPushButton* DialogButton(const char* name, const QString& caption, QWidget* parent);
// A radio group: a titled box of items laid out in `columns` columns, the item at position
// k having id k in `group`, the first one checked.
QGroupBox* RadioGroup(const char* name, const QString& title, const QStringList& items, int columns,
                      QButtonGroup*& group, QWidget* parent);

}  // namespace ruvo::gui
