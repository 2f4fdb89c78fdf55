#pragma once

#include <QObject>
#include <functional>

class QLineEdit;

namespace ruvo::gui {

// Lets an edit take from the keyboard only the characters `accepts` allows (Backspace is
// asked as '\b'). Keys without text (arrows, Home, Delete), the other control keys (Tab,
// Enter, Escape) and shortcuts (Ctrl+V) pass untouched: what is pasted is the input
// check's to refuse.
class KeyFilter final : public QObject {
 public:
  KeyFilter(std::function<bool(char)> accepts, QObject* parent);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<bool(char)> accepts_;
};

// The digits 0-9 and Backspace only.
void TakeOnlyDigits(QLineEdit& edit);
// The digits, Backspace and the decimal separator only.
void TakeOnlyAmount(QLineEdit& edit, char decimalSeparator);

}  // namespace ruvo::gui
