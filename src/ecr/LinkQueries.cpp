#include "ecr/DecimalText.h"
#include "ecr/TXruvoLinux.h"
#include "platform/Locale.h"

namespace ruvo {

namespace {

constexpr int kProbeTimeOutSeconds = 2;
// Where the number of free journal lines sits in the answer (0-based start, length).
constexpr std::size_t kJEFreeLinesOffset = 27;
constexpr std::size_t kJEFreeLinesLength = 9;
constexpr std::size_t kJEAnswerMinLength = 36;

}  // namespace

bool TXruvoLinux::ProbeStatus() {
  if (!IsReady()) return false;
  ExpectedAnswerData status(*this, kStatusTextLength, /*nobodyWaits=*/true);
  const int result = Transact("1215", kProbeTimeOutSeconds);
  if (result != kOk) {
    SetError(result);
    return false;
  }
  return KeepStatusText();
}

bool TXruvoLinux::KeepStatusText() {
  statusText_.assign(kStatusTextLength, '\0');
  if (lastAnswer_.size() != kStatusTextLength) {
    SetError(kErrAnswerLength);
    return false;
  }
  statusText_ = lastAnswer_;
  return true;
}

bool TXruvoLinux::ReadJEFreeLines() {
  if (!IsReady()) return false;
  jeFreeLines_ = -1;
  const int result = Transact("8006000000000000", kDefaultTimeOut);
  if (result != kOk) {
    SetError(result);
    return false;
  }
  if (lastAnswer_.size() >= kJEAnswerMinLength && IsNumericText(lastAnswer_)) {
    jeFreeLines_ = DecimalIntOr(
        std::string_view(lastAnswer_).substr(kJEFreeLinesOffset, kJEFreeLinesLength), -1);
  }
  return true;
}

}  // namespace ruvo
