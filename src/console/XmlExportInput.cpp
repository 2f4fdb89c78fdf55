// The export dialog's fields: defaults and the check of "Start export".
#include <string>

#include "console/XmlExport.h"
#include "platform/Locale.h"

namespace ruvo {

namespace {

constexpr int kLastRefusedYear = 2017;
constexpr int kLastFourDigitYear = 9999;

// The integer a text reads as, 0 when it is none.
int YearValue(const std::string& text) { return DigitsValue(text).value_or(0); }

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

}  // namespace

std::string MonthItem(int month) {
  const std::string digits = std::to_string(month);
  return digits.size() < 2 ? " " + digits : digits;
}

ExportXmlRequest DefaultExportXmlRequest(const LocalDateTime& now, bool binaryTransfer) {
  ExportXmlRequest request;
  request.yearText = std::to_string(now.year);
  request.monthText = MonthItem(now.month);
  request.binaryTransfer = binaryTransfer;
  return request;
}

int ExportMonth(const ExportXmlRequest& request) {
  return DigitsValue(Trimmed(request.monthText)).value_or(0);
}

std::string ExportYearText(const ExportXmlRequest& request) {
  return std::to_string(YearValue(request.yearText));
}

InputCheck CheckExportXmlInput(const ExportXmlRequest& request) {
  const int year = YearValue(request.yearText);
  if (year <= kLastRefusedYear || year > kLastFourDigitYear) {
    return InputRefused(kExportYearMessage, DialogField::Year);
  }
  const int month = ExportMonth(request);
  if (month < 1 || month > 12) return InputRefused(kExportMonthMessage, DialogField::Month);
  return InputAccepted();
}

}  // namespace ruvo
