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
  ExpectedAnswerData status(frame_, kStatusTextLength, /*nobodyWaits=*/true);
  const int result = Transact("1215", kProbeTimeOutSeconds);
  if (result != kOk) {
    SetError(result);
    return false;
  }
  return KeepStatusText();
}

bool TXruvoLinux::KeepStatusText() {
  statusText_.assign(kStatusTextLength, '\0');
  if (LastAnswer().size() != kStatusTextLength) {
    SetError(kErrAnswerLength);
    return false;
  }
  statusText_ = LastAnswer();
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
  if (LastAnswer().size() >= kJEAnswerMinLength && IsNumericText(LastAnswer())) {
    jeFreeLines_ =
        DecimalIntOr(std::string_view(LastAnswer()).substr(kJEFreeLinesOffset, kJEFreeLinesLength),
                     -1);
  }
  return true;
}

}  // namespace ruvo
