#include "console/gui/WinText.h"

#include <optional>

#include "platform/Text1250.h"

namespace ruvo::gui {

QString FromWinText(const std::string& text) {
  QString out = QString::fromStdString(Utf8From1250(text));
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  out.replace(QChar('\r'), QChar('\n'));
  return out;
}

std::string ToWinText(const QString& text) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()));
  for (const QChar c : text) {
    const std::optional<std::string> byte = Utf8To1250(QString(c).toStdString());
    out += byte ? *byte : std::string("?");
  }
  return out;
}

}  // namespace ruvo::gui
