#include "console/gui/KeyFilter.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "console/DialogInput.h"

namespace ruvo::gui {

namespace {

bool IsShortcut(const QKeyEvent& key) {
  return (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0;
}

}  // namespace

KeyFilter::KeyFilter(std::function<bool(char)> accepts, QObject* parent)
    : QObject(parent), accepts_(std::move(accepts)) {}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  const auto* key = static_cast<const QKeyEvent*>(event);
  if (IsShortcut(*key)) return false;
  for (const QChar c : key->text()) {
    const char16_t code = c.unicode();
    if (code == kBackspaceKey) {
      if (!accepts_(kBackspaceKey)) return true;
    } else if (code < 0x20 || code == 0x7F) {
      continue;  // Tab, Enter, Escape, Delete: keys, not characters of the field
    } else if (code > 0x7F || !accepts_(static_cast<char>(code))) {
      return true;
    }
  }
  return false;
}

void TakeOnlyDigits(QLineEdit& edit) {
  edit.installEventFilter(new KeyFilter(IsNumberEditKey, &edit));
}

void TakeOnlyAmount(QLineEdit& edit, char decimalSeparator) {
  edit.installEventFilter(
      new KeyFilter([decimalSeparator](char key) { return IsAmountEditKey(key, decimalSeparator); },
                    &edit));
}

}  // namespace ruvo::gui
