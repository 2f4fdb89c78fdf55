#include "app/ResponseWarnings.h"

namespace ruvo {

void RefreshWarnings(DriverState& state, const std::vector<std::string>& extraLines) {
  state.standingWarnings = extraLines;
  state.warningBox.clear();
  if (state.warnings.paperNearEnd) state.warningBox.push_back("Atentie ! Se termina hartia !");
  if (state.warnings.journalAlmostFull)
    state.warningBox.push_back("Atentie ! Jurnal aproape plin!");
  if (state.warnings.notFiscalized) {
    state.warningBox.push_back("Atentie ! Imprimanta nefiscalizata !");
  }
  for (const std::string& line : extraLines) state.warningBox.push_back(line);
  for (const std::string& line : state.serviceWarnings) state.warningBox.push_back(line);
  if (!state.warningBox.empty() && !state.windowVisible) state.windowVisible = true;
}

}  // namespace ruvo
