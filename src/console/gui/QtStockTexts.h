#pragma once

#include <QTranslator>

namespace ruvo::gui {

// Qt's own texts that the driver's windows show (the picture dialog's places, columns,
// buttons, tips and menus, the stock buttons of the message boxes) in Romanian. Debian's Qt
// translations hold no Romanian file, so the driver carries the few it needs; a text it
// does not know stays as Qt wrote it.
class QtStockTexts final : public QTranslator {
 public:
  using QTranslator::QTranslator;

  QString translate(const char* context, const char* sourceText, const char* disambiguation,
                    int n) const override;
  bool isEmpty() const override { return false; }
};

// Installs one QtStockTexts for the whole program, once; before the first widget that
// should show them is made (a widget made earlier follows too, a moment later).
void InstallQtStockTexts();

}  // namespace ruvo::gui
