#include "receipt/PortSelection.h"

#include "receipt/NumericRules.h"
#include "receipt/TextCase.h"

namespace ruvo {

bool IsPortSelectionCode(std::string_view code) {
  return StartsWith(UpperCase1250(TrimBlanks(code)), "COM");
}

int PortOfSelectionLine(std::string_view line) {
  const std::string upper = UpperCase1250(TrimBlanks(line));
  if (upper.size() <= 3) return 1;
  const std::string_view digits = TrimBlanks(std::string_view(upper).substr(3, 10));
  const int port = IntValue(digits);
  // A missing number or 0 means the first port. A negative number names no port at all:
  // it is passed on so that the file is refused like any port that does not open, rather
  // than printed on a register the sales application did not choose.
  return port == 0 ? 1 : port;
}

std::optional<int> PortOfFirstLine(const std::vector<std::string>& lines) {
  if (lines.empty()) return std::nullopt;
  const std::string upper = UpperCase1250(TrimBlanks(lines.front()));
  if (!StartsWith(upper, "COM")) return std::nullopt;
  return PortOfSelectionLine(lines.front());
}

}  // namespace ruvo
