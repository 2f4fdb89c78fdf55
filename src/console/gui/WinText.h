#pragma once

#include <QString>
#include <string>

namespace ruvo::gui {

// The driver keeps every text as single-byte Windows-1250; the screen needs Unicode. This
// is the one place where the two meet. "\r" line breaks of message texts become "\n".
QString FromWinText(const std::string& text);

// What the operator typed, as the driver keeps text: Windows-1250, a character the code
// page lacks becoming "?".
std::string ToWinText(const QString& text);

}  // namespace ruvo::gui
