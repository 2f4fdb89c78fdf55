// TEMfReport: fiscal memory (MF) and electronic journal (JE) reports by Z number or by period.
#include <optional>
#include <tuple>

#include "console/ManualOperations.h"
#include "platform/CalendarDate.h"
#include "platform/Locale.h"

namespace ruvo {

namespace {

// The ECR numbers JE reports in 16 bits.
constexpr int kLastJeReportNumber = 65535;

struct NumberField {
  const std::string& text;
  DialogField field;
  const char* wrongMessage;
  const char* digitsOnlyMessage;
};

// A number field passes the numeric-field rule and is then taken as a whole number; a sign
// or a decimal separator would pass the rule but cannot be sent, so it is refused here.
InputCheck CheckNumberField(const NumberField& number, std::optional<int>& value) {
  if (!IsNumericText(number.text)) return InputRefused(number.wrongMessage, number.field);
  if (!IsAllDigits(number.text)) return InputRefused(number.digitsOnlyMessage, number.field);
  value = DigitsValue(number.text);
  if (!value) return InputRefused(number.wrongMessage, number.field);
  return InputAccepted();
}

struct ReportDate {
  int day = 0;
  int month = 0;
  int year = 0;  // two digits, 0..99

  bool Valid() const { return IsValidDate(day, month, 2000 + year); }
  auto Key() const { return std::tie(year, month, day); }
};

// Two digits of the masked text, 0 when they are not a number.
int DatePart(const std::string& text, std::size_t position) {
  if (text.size() < position + 2) return 0;
  std::string part = text.substr(position, 2);
  if (part[0] == ' ') part.erase(0, 1);  // a leading blank is no obstacle to a number
  return DigitsValue(part).value_or(0);
}

// "dd.mm.yy" as the masked edit holds it; anything else gives an invalid date.
ReportDate ParseReportDate(const std::string& text) {
  if (text.size() != 8 || text[2] != '.' || text[5] != '.') return {};
  return ReportDate{DatePart(text, 0), DatePart(text, 3), DatePart(text, 6)};
}

InputCheck CheckByNumber(const MfReportRequest& request) {
  std::optional<int> start;
  std::optional<int> end;
  InputCheck check = CheckNumberField({request.startNumber, DialogField::StartNumber,
                                       "Numarul de inceput raport este eronat !",
                                       "Numarul de inceput raport poate contine doar cifre !"},
                                      start);
  if (!check.ok) return check;
  check = CheckNumberField({request.endNumber, DialogField::EndNumber,
                            "Numarul de sfarsit raport este eronat !",
                            "Numarul de sfarsit raport poate contine doar cifre !"},
                           end);
  if (!check.ok) return check;
  if (*end < *start) {
    return InputRefused("Numarul de sfarsit nu poate fi mai mic decat cel de inceput !",
                        DialogField::None);
  }
  if (request.source == MfJeSource::JE && *end > kLastJeReportNumber) {
    return InputRefused("Numarul raportului Z pentru JE nu poate depasi 65535 !",
                        *start > kLastJeReportNumber ? DialogField::StartNumber
                                                     : DialogField::EndNumber);
  }
  return InputAccepted();
}

InputCheck CheckByPeriod(const MfReportRequest& request) {
  const ReportDate start = ParseReportDate(request.startDate);
  const ReportDate end = ParseReportDate(request.endDate);
  if (!start.Valid()) {
    return InputRefused("Data de inceput interval este eronata !", DialogField::StartDate);
  }
  if (!end.Valid()) {
    return InputRefused("Data de sfarsit interval este eronata !", DialogField::EndDate);
  }
  if (start.Key() > end.Key()) {
    return InputRefused(
        "Data de inceput interval nu poate fi mai mare decat data de sfarsit interval !",
        DialogField::EndDate);
  }
  return InputAccepted();
}

bool SendReport(TXruvoLinux& link, const MfReportRequest& request) {
  if (request.mode == MfReportMode::ByZNumber) {
    const int start = DigitsValue(request.startNumber).value_or(0);
    const int end = DigitsValue(request.endNumber).value_or(0);
    return request.source == MfJeSource::MF ? link.PrintMFReportByNumber(start, end)
                                            : link.PrintJEReportByZ(start, end);
  }
  const ReportDate s = ParseReportDate(request.startDate);
  const ReportDate e = ParseReportDate(request.endDate);
  if (request.source == MfJeSource::JE) {
    return link.PrintJEReportByDate(s.day, s.month, s.year, e.day, e.month, e.year);
  }
  const int kind = request.detail == MfReportDetail::Detailed ? 1 : 2;
  return link.PrintMFReportByDate(kind, s.day, s.month, s.year, e.day, e.month, e.year);
}

}  // namespace

std::string MfReportCaption(MfReportMode mode) {
  return mode == MfReportMode::ByZNumber ? "Raport MF/JE dupa numar Z" : "Raport MF pe perioada";
}

InputCheck CheckMfReportInput(const MfReportRequest& request) {
  return request.mode == MfReportMode::ByZNumber ? CheckByNumber(request) : CheckByPeriod(request);
}

bool RunMfReport(const ConsoleContext& context, const MfReportRequest& request) {
  const InputCheck check = CheckMfReportInput(request);
  if (!check.ok) {
    ShowInputProblem(context.driver.op, check);
    return false;
  }
  return RunOperation(context, kMfReportOperation, [&](TXruvoLinux& link) {
    if (SendReport(link, request)) return true;
    ShowOperationFailure(context,
                         "Eroare la efectuarea raportului !\r" + link.Engine().LastError());
    return false;
  });
}

bool StopMfReport(const ConsoleContext& context) {
  const RunningOperation& running = context.state.operation;
  if (running.Active()) {
    // The running report holds the port; the stop travels on its link.
    if (running.report && running.link != nullptr && running.link->Engine().RequestStop())
      return true;
    ShowOperationInProgress(context);
    return false;
  }
  return RunOperation(context, kStopReportOperation, [&](TXruvoLinux& link) {
    if (link.StopReport(true)) return true;
    ShowOperationFailure(context,
                         "Eroare la intreruperea raportului !\r" + link.Engine().LastError());
    return false;
  });
}

}  // namespace ruvo
