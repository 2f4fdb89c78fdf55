// A payment, close, number query or cut whose answer was lost (a time-out, garbage, a
// vanished port) may have been done by the ECR all the same. Sending it again could pay
// or print twice, and answering with the error would make the sales application send the
// sale again; so the ECR is asked what it did.
#include <cctype>

#include "execution/ReceiptExecutorFile.h"

namespace ruvo {

namespace {

// The link's own errors are numbered from 8000; below are the ECR's refusals.
constexpr long kFirstLinkErrorCode = 8000;

}  // namespace

bool AnswerLost(const std::string& error) {
  long code = 0;
  std::size_t i = 0;
  for (; i < error.size() && i < 9 && std::isdigit(static_cast<unsigned char>(error[i])); ++i) {
    code = code * 10 + (error[i] - '0');
  }
  return i > 0 && code >= kFirstLinkErrorCode;
}

std::optional<bool> FileExecution::PaidAfterLostAnswer() {
  if (!link_.ReadReceiptState()) return std::nullopt;
  const std::string& state = link_.ReceiptStateText();
  return state == "5" || state == "6";
}

std::optional<bool> FileExecution::ClosedAfterLostAnswer() {
  std::string answer;
  if (!link_.ReadLastReceiptNumber(answer)) return std::nullopt;
  return link_.ReceiptPaid();
}

bool FileExecution::CutAfterLostAnswer() {
  std::string answer;
  if (!link_.ReadLastReceiptNumber(answer)) return false;
  // Finished by the cut: nothing is open any more, and the number is the last receipt's.
  return !link_.ReceiptOpen() && !link_.ReceiptPaid();
}

bool FileExecution::ReadReceiptNumber() {
  std::string answer;
  const bool read = link_.ReadLastReceiptNumber(answer);
  if (read && !link_.ReceiptNumberText().empty()) {
    run_.file.response.fiscalReceiptNumber = link_.ReceiptNumberText();
  }
  return read;
}

}  // namespace ruvo
