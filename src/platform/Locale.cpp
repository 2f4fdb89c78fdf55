#include "platform/Locale.h"

#include <langinfo.h>
#include <locale.h>

#include <clocale>
#include <cstdlib>
#include <mutex>

namespace ruvo {

namespace {

char ReadDecimalSeparator() {
  // The process itself stays in the "C" locale; only the user's choice is asked for.
  const char* names[] = {"LC_ALL", "LC_NUMERIC", "LANG"};
  for (const char* name : names) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    locale_t loc = newlocale(LC_NUMERIC_MASK, value, static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) return '.';
    const char* point = nl_langinfo_l(RADIXCHAR, loc);
    const char result = (point != nullptr && point[0] != '\0' && point[1] == '\0') ? point[0] : '.';
    freelocale(loc);
    return result;
  }
  return '.';
}

}  // namespace

char DecimalSeparator() {
  static const char separator = ReadDecimalSeparator();
  return separator;
}

bool IsNumericText(const std::string& text) {
  if (text.empty()) return false;
  const char sep = DecimalSeparator();
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+' || c == '-') {
      if (i != 0) return false;
    } else if (!(c >= '0' && c <= '9') && c != sep) {
      return false;
    }
  }
  return true;
}

bool IsAllDigits(const std::string& text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace ruvo
