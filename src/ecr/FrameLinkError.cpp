#include <cctype>
#include <string>
#include <string_view>

#include "ecr/DecimalText.h"
#include "ecr/ErrorTable.h"
#include "ecr/FrameLink.h"

namespace ruvo {

namespace {

constexpr std::int32_t kZReportDueCode = 61;
constexpr std::int32_t kPaperOutCode = 16;
constexpr std::string_view kCloseTimeOutHint = "; VERIFICATI STAREA IMPRIMANTEI CU COMANDA 9999";

// The number in an extended-error answer: the text without its first "ERR" (any case),
// 0 when the rest is not a number.
std::int32_t ExtendedErrorNumber(std::string answer) {
  for (std::size_t i = 0; i + 3 <= answer.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(answer[i])) == 'E' &&
        std::toupper(static_cast<unsigned char>(answer[i + 1])) == 'R' &&
        std::toupper(static_cast<unsigned char>(answer[i + 2])) == 'R') {
      answer.erase(i, 3);
      break;
    }
  }
  const std::size_t first = answer.find_first_not_of(' ');
  const std::size_t last = answer.find_last_not_of(' ');
  if (first == std::string::npos) return 0;
  return DecimalIntOr(std::string_view(answer).substr(first, last - first + 1), 0);
}

}  // namespace

void FrameLink::SetError(std::int32_t code) {
  errorZReportDue_ = code == kZReportDueCode;
  errorPaperOut_ = code == kPaperOutCode;
  lastError_ = std::to_string(code) + ";";
  errorExtended_ = code == kErrExtended;

  if (code == kErrExtended) {
    // The query can itself fail with 99; that nested report must not ask again.
    if (!extendedQueryRunning_) {
      extendedQueryRunning_ = true;
      const bool answered = ReadExtendedError();
      extendedQueryRunning_ = false;
      // A failed query has already put its own error into LastError.
      if (answered) lastError_ += ExtendedErrorMessage(ExtendedErrorNumber(lastAnswer_));
    }
  } else if (code == kCommNotOkCode) {
    lastError_ += CommNotOkMessage();
  } else {
    lastError_ += EcrErrorMessage(code);
  }

  if (code == kErrTimeOut && closeAckTimedOut_) {
    lastError_ += kCloseTimeOutHint;
    closeAckTimedOut_ = false;
  }
}

bool FrameLink::ReadExtendedError() {
  if (!IsReady()) return false;
  return RunCommand("1015", kDefaultTimeOut);
}

}  // namespace ruvo
