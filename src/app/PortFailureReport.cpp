#include "app/PortFailureReport.h"

#include <algorithm>

#include "platform/Log.h"

namespace ruvo {

bool PortFailureReport::Update(const std::optional<PortOpenFailure>& failure,
                               std::vector<std::string>& warningBox) {
  if (failure == current_) return false;
  if (current_) {
    const std::string old = current_->ForOperator();
    warningBox.erase(std::remove(warningBox.begin(), warningBox.end(), old), warningBox.end());
  }
  if (failure) {
    Log(LogLevel::Warning, failure->ForLog());
    warningBox.push_back(failure->ForOperator());
  } else {
    Log(LogLevel::Info, current_->portName + " opens again");
  }
  current_ = failure;
  return true;
}

}  // namespace ruvo
