#pragma once

#include <QDialog>
#include <QString>
#include <bitset>
#include <string>

#include "app/Operator.h"

class QPushButton;

namespace ruvo::gui {

// The button kinds of the message box, in their fixed order of appearance, left to right.
enum class DlgButton { Yes, No, Ok, Cancel, Abort, Retry, Ignore, All, NoToAll, YesToAll, Help };
inline constexpr int kDlgButtonCount = 11;
using DlgButtons = std::bitset<kDlgButtonCount>;

DlgButtons ButtonsOf(MsgButtons buttons);

// The driver's one modal message box: a lowered panel with the kind's picture and the text
// (bold, centred, wrapped at half the screen's width), a line, and a centred row of buttons.
// Enter presses Yes or OK; Escape presses Cancel, else No, else OK; the close box answers
// Cancel.
class RomMessageBox final : public QDialog {
  Q_OBJECT
 public:
  RomMessageBox(const QString& text, const QString& caption, MsgKind kind, DlgButtons buttons,
                QWidget* parent = nullptr);

  // Shows the box modally with the arrow cursor, gives the cursor back, returns the answer.
  MsgResult Ask();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void AddButton(DlgButton kind, QLayout* row);

  QPushButton* enterButton_ = nullptr;
  QPushButton* escapeButton_ = nullptr;
};

// Text and caption as the driver keeps them (Windows-1250); an empty caption takes the
// kind's own.
MsgResult RomMessageDlg(const std::string& text, const std::string& caption, MsgKind kind,
                        MsgButtons buttons, QWidget* parent = nullptr);

}  // namespace ruvo::gui
