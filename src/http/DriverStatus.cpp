#include "http/DriverStatus.h"

#include <unistd.h>

#include "app/Driver.h"
#include "app/StatusFile.h"
#include "http/HttpReceipts.h"
#include "platform/Text1250.h"

namespace ruvo::http {

nlohmann::json DriverStatusJson(const Driver& driver, const HttpReceipts& receipts) {
  const DriverState& state = driver.State();
  const std::string stare =
      driver.Closed() ? kStateClosed : (state.processing ? kStateProcessing : kStateStopped);
  nlohmann::json warnings = nlohmann::json::array();
  for (const std::string& line : state.warningBox) warnings.push_back(Utf8From1250(line));
  for (const std::string& line : receipts.DamageWarnings()) warnings.push_back(Utf8From1250(line));
  nlohmann::json status = {{"versiune", VersionText()},
                           {"stare", stare},
                           {"processing", state.processing},
                           {"conectatLaCasa", state.connected},
                           {"connectedLabel", Utf8From1250(driver.ConnectedLabel())},
                           {"idProces", static_cast<long>(::getpid())},
                           {"busy", state.busy},
                           {"jeFreeLines", state.jeFreeLines < 0
                                               ? nlohmann::json()
                                               : nlohmann::json(state.jeFreeLines)},
                           {"warnings", warnings},
                           {"http", {{"receiptsWaiting", receipts.WaitingCount()}}}};
  if (state.operation.Active()) {
    status["operation"] = {{"name", Utf8From1250(state.operation.name)}};
  } else {
    status["operation"] = nullptr;
  }
  return status;
}

}  // namespace ruvo::http
