#pragma once

#include <QDialog>
#include <functional>

#include "console/DialogInput.h"
#include "console/OperationFrame.h"

class QAbstractButton;
class QBoxLayout;
class QButtonGroup;
class QGroupBox;
class QPushButton;

namespace ruvo::gui {

// What the three dialogs of the manual operations share: the main window's context, a
// centred modal window wide enough for its caption, and one operation at a time. While an
// operation waits for the ECR the window keeps handling events, so a click can arrive
// meanwhile: the dialog's buttons are disabled for the length of the operation (all but
// those marked with KeepEnabledWhileRunning), and Escape or the close box is refused with
// a beep.
class OperationDialog : public QDialog {
  Q_OBJECT
 public:
  OperationDialog(const ConsoleContext& context, const char* formName, const QString& caption,
                  QWidget* parent, Qt::WindowFlags extraFlags = {});

  bool Running() const { return running_; }

 protected:
  // Runs the operation unless one is already running.
  void RunOne(const std::function<void()>& operation);
  // A button meant for the operation under way (the report's stop).
  static void KeepEnabledWhileRunning(QPushButton* button);
  // Makes the dialog's layout at least as wide as its caption needs in a title bar; called
  // once the layout is built. The layouts fix the dialogs' size, so a later resize would not
  // hold.
  void FitCaption(QBoxLayout* layout);
  // A refused input: its message, then the focus to the field (its text selected when
  // the check asks for that).
  void ShowInputProblemAt(const InputCheck& check, QWidget* field);

  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

  const ConsoleContext context_;

 private:
  // Disables the buttons that must wait for the operation's end; gives back the ones it
  // disabled.
  QList<QPushButton*> HoldButtons();

  bool running_ = false;
};

// A button of a dialog with its object name and caption.
QPushButton* DialogButton(const char* name, const QString& caption, QWidget* parent);
// A radio group: a titled box of items laid out in `columns` columns, the item at position
// k having id k in `group`, the first one checked.
QGroupBox* RadioGroup(const char* name, const QString& title, const QStringList& items, int columns,
                      QButtonGroup*& group, QWidget* parent);

}  // namespace ruvo::gui
