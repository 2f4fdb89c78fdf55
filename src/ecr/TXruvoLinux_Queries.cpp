// Queries of the ECR's state and small settings: they print nothing.
#include "ecr/Amount.h"
#include "ecr/TXruvoLinux.h"
#include "platform/Locale.h"

namespace ruvo {

namespace {

constexpr int kStateQuerySends = 3;
constexpr int kDocumentStateSends = 4;
constexpr int kSetDateTimeSends = 3;
constexpr std::size_t kDocumentStateLength = 6;
constexpr std::size_t kLastReceiptLength = 5;
constexpr std::size_t kDisplayWidth = 40;

}  // namespace

bool TXruvoLinux::RunRepeated(const std::string& commandText, int maxSends) {
  int result = kOk;
  for (int send = 0; send < maxSends; ++send) {
    result = Transact(commandText, kDefaultTimeOut);
    if (result == kOk) return true;
  }
  SetError(result);
  return false;
}

bool TXruvoLinux::ReadDailyTotals() {
  if (!IsReady()) return false;
  ExpectedAnswerData totals(frame_, kDailyTotalsLength);
  if (!RunCommand("1004", kDefaultTimeOut)) return false;
  dailyTotalsBlock_.assign(kDailyTotalsLength, '\0');
  // A block of another length would put zero bytes into the sales application's response.
  if (LastAnswer().size() != kDailyTotalsLength) {
    SetError(kErrAnswerLength);
    return false;
  }
  dailyTotalsBlock_ = LastAnswer();
  return true;
}

bool TXruvoLinux::ReadFiscalSeries(std::string& series, int& resultCode) {
  series.clear();
  if (!IsReady()) {
    resultCode = kErrNotConnected;
    return false;
  }
  resultCode = Transact("1008", kDefaultTimeOut);
  if (resultCode != kOk) {
    SetError(resultCode);
    return false;
  }
  series = LastAnswer();
  return true;
}

bool TXruvoLinux::ReadReceiptState() {
  if (!IsReady()) return false;
  if (!RunRepeated("1012", kStateQuerySends)) return false;
  receiptStateText_ = LastAnswer();
  return true;
}

bool TXruvoLinux::ReadDocumentState(std::string& answer) {
  if (!IsReady()) return false;
  documentNumberText_.clear();
  if (!RunRepeated("1111", kDocumentStateSends)) return false;
  answer = LastAnswer();
  if (LastAnswer().size() != kDocumentStateLength) {
    SetError(kErrAnswerLength);
    return false;
  }
  if (!IsAllDigits(LastAnswer())) {
    SetError(kErrNotAllDigits);
    return false;
  }
  documentNumberText_ = LastAnswer().substr(2, 4);
  return true;
}

bool TXruvoLinux::ReadLastReceiptNumber(std::string& answer) {
  if (!IsReady()) return false;
  const int result = Transact("1112", longTimeOut_);
  receiptOpen_ = false;
  receiptPaid_ = false;
  receiptNumberText_.clear();
  if (result != kOk) {
    SetError(result);
    return false;
  }
  answer = LastAnswer();
  if (LastAnswer().size() != kLastReceiptLength) {
    SetError(kErrAnswerLength);
    return false;
  }
  const char documentType = LastAnswer()[0];
  receiptOpen_ = documentType >= '1' && documentType <= '4';
  receiptPaid_ = documentType == '5' || documentType == '6';
  receiptNumberText_ = LastAnswer().substr(1, 4);
  return true;
}

bool TXruvoLinux::ReadTotalizer(int number, std::string& answer) {
  if (!IsReady()) return false;
  totalizerNumber_ = number;
  totalizerText_ = "000000000";
  if (!RunCommand("1113" + PadNumber(number, 2), kDefaultTimeOut)) return false;
  answer = LastAnswer();
  totalizerText_ = LastAnswer();
  return true;
}

bool TXruvoLinux::ReadStatus() {
  if (!IsReady()) return false;
  ExpectedAnswerData status(frame_, kStatusTextLength);
  if (!RunRepeated("1215", kStateQuerySends)) return false;
  return KeepStatusText();
}

bool TXruvoLinux::ReadPrinterState(std::string& answer) {
  if (!IsReady()) return false;
  ExpectedAnswerData state(frame_, kPrinterStateLength);
  if (!RunRepeated("1309", kStateQuerySends)) return false;
  answer = LastAnswer();
  printerStateText_.assign(kPrinterStateLength, '\0');
  if (LastAnswer().size() != kPrinterStateLength) {
    SetError(kErrAnswerLength);
    return false;
  }
  if (!IsAllDigits(LastAnswer())) {
    SetError(kErrNotAllDigits);
    return false;
  }
  printerStateText_ = LastAnswer();
  return true;
}

bool TXruvoLinux::SetDateTime(int day, int month, int year, int hour, int minute) {
  if (!IsReady()) return false;
  const std::string text = "2001" + PadNumber(day, 2) + PadNumber(month, 2) + PadNumber(year, 2) +
                           PadNumber(hour, 2) + PadNumber(minute, 2);
  int result = kOk;
  for (int send = 0; send < kSetDateTimeSends; ++send) {
    result = Transact(text, kDefaultTimeOut);
    if (result != kOk) break;
    if (LastAnswer() == "0") return true;
  }
  // An ECR that keeps answering something other than "0" has not taken the time: code 0.
  SetError(result);
  return false;
}

bool TXruvoLinux::ReadTotalizers() {
  if (!IsReady()) return false;
  return RunCommand("7008", kDefaultTimeOut);
}

bool TXruvoLinux::Beep(int beeps, int tone) {
  if (!IsReady()) return false;
  return RunCommand("3116" + std::to_string(beeps) + std::to_string(tone), kDefaultTimeOut);
}

bool TXruvoLinux::SendTwoPartText(const std::string& text) {
  if (!IsReady()) return false;
  const std::size_t separator = text.find(';');
  std::string shown = separator == std::string::npos ? text : text.substr(separator + 1);
  for (char& c : shown) {
    if (c == '\r') c = ' ';
  }
  shown.resize(kDisplayWidth, ' ');
  return RunCommand("7007" + shown, kDefaultTimeOut);
}

}  // namespace ruvo
