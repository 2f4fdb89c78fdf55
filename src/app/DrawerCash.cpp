#include "app/DrawerCash.h"

namespace ruvo {

std::string FormatDrawerCash(const std::string& ecrAmount) {
  if (ecrAmount.size() != 10) return ecrAmount;
  const char sign = ecrAmount[0];
  std::string units = ecrAmount.substr(1, 7);
  const std::string hundredths = ecrAmount.substr(8, 2);
  const std::size_t firstNonZero = units.find_first_not_of('0');
  units = firstNonZero == std::string::npos ? "0" : units.substr(firstNonZero);
  std::string text;
  if (sign != '+') text += sign;
  return text + units + "." + hundredths;
}

}  // namespace ruvo
