#include "app/JeWarnings.h"

namespace ruvo {

std::vector<std::string> JeWarningLines(int freeLines) {
  std::vector<std::string> lines{kJeFreeLinesLine + std::to_string(freeLines)};
  if (freeLines > 0 && freeLines < 500) {
    lines.push_back(kJeZReportWarning);
  } else if (freeLines >= 500 && freeLines < 100000) {
    lines.push_back(kJeTechnicianWarning);
  }
  return lines;
}

}  // namespace ruvo
