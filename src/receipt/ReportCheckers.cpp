#include "receipt/ReportCheckers.h"

#include "platform/CalendarDate.h"
#include "receipt/CommandTable.h"
#include "receipt/NumericRules.h"

namespace ruvo {

namespace {

constexpr std::string_view kStartDate = "Data de inceput raport MF este eronata : ";
constexpr std::string_view kEndDate = "Data de sfarsit raport MF este eronata : ";
constexpr std::string_view kMfType = "Tip raport MF eronat (valori corecte 1 sau 2) : ";
constexpr std::string_view kStartZ = "Numar Z inceput raport eronat. Valori admise 1..9999 : ";

bool IsFirstLine(const LineContext& context) { return context.countedLine <= 1; }

// The code-only commands: nothing after the code, and nothing before the line.
CheckResult CheckCodeAloneFirst(const LineContext& context) {
  if (context.fields.size() > 1) return RefusedFieldCount(context.line);
  if (!IsFirstLine(context)) return RefusedAsAccompanied(context);
  return Valid();
}

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

bool IsMfType(const LineContext& context, std::size_t index) {
  if (!IsNumeric(context, index)) return false;
  const int type = IntField(context, index);
  return type == 1 || type == 2;
}

// Day, month and two-digit year in three consecutive fields from `first`.
bool IsDateInFields(const LineContext& context, std::size_t first) {
  std::int64_t values[3] = {};
  for (std::size_t i = 0; i < 3; ++i) {
    if (!IsNumeric(context, first + i)) return false;
    // A date part that is no integer ("1.5", or too long for one) makes the date
    // invalid; read as 0 it would turn a garbled year into the year 2000.
    const std::optional<std::int64_t> value = ParseInt64(FieldOrEmpty(context.fields, first + i));
    if (!value) return false;
    values[i] = *value;
  }
  if (values[2] > 10000) return false;  // no calendar year, and no overflow below
  return IsValidDate(values[0], values[1], values[2] + 2000);
}

}  // namespace

CheckResult RefusedAsAccompanied(const LineContext& context) {
  const CommandInfo* command = FindCommand(context.fields[0]);
  if (command == nullptr || command->alone.code.empty()) return Valid();
  return RefusedWithCode(command->alone.code, command->alone.text, context.line);
}

CheckResult CheckFinishReceipt(const LineContext& context) { return CheckCodeAloneFirst(context); }

CheckResult CheckDailyCommand(const LineContext& context) { return CheckCodeAloneFirst(context); }

CheckResult CheckDepartmentReport(const LineContext& context) {
  return CheckCodeAloneFirst(context);
}

CheckResult CheckFiscalSeriesRead(const LineContext& context) {
  return CheckCodeAloneFirst(context);
}

CheckResult CheckTotalizerRead(const LineContext& context) {
  if (context.fields.size() < 2) return RefusedFieldCount(context.line);
  if (!IsFirstLine(context)) return RefusedAsAccompanied(context);
  if (!IsNumeric(context, 1) || !InRange(IntField(context, 1), 0, 32)) {
    return RefusedWithCode("8041", "Tipul de totalizator este eronat : ", context.line);
  }
  return Valid();
}

CheckResult CheckTotalizersRead(const LineContext& context) {
  if (!IsFirstLine(context)) return RefusedAsAccompanied(context);
  return Valid();
}

CheckResult CheckMfReportByNumber(const LineContext& context) {
  const std::string& line = context.line;
  if (context.fields.size() != 4) return RefusedFieldCount(line);
  if (!IsFirstLine(context)) return RefusedAsAccompanied(context);
  if (!IsMfType(context, 1)) return RefusedWithCode("8034", kMfType, line);
  if (!IsNumeric(context, 2)) {
    return RefusedWithCode("8037", "Numar inceput raport MF eronat : ", line);
  }
  if (!IsNumeric(context, 3)) {
    return RefusedWithCode("8037", "Numar sfarsit raport MF eronat : ", line);
  }
  return Valid();
}

CheckResult CheckMfReportByDate(const LineContext& context) {
  const std::string& line = context.line;
  // The code alone asks for the report without dates, wherever it stands.
  if (context.fields.size() == 1) return Valid();
  if (context.fields.size() != 8) return RefusedFieldCount(line);
  if (!IsFirstLine(context)) return RefusedAsAccompanied(context);
  if (!IsMfType(context, 1)) return RefusedWithCode("8034", kMfType, line);
  if (!IsDateInFields(context, 2)) return RefusedWithCode("8035", kStartDate, line);
  if (!IsDateInFields(context, 5)) return RefusedWithCode("8036", kEndDate, line);
  return Valid();
}

CheckResult CheckJeReportByZ(const LineContext& context) {
  const std::string& line = context.line;
  if (context.fields.size() != 3) return RefusedFieldCount(line);
  if (!IsFirstLine(context)) return RefusedAsAccompanied(context);
  if (!InRange(IntField(context, 1), 1, 9999)) return RefusedWithCode("8035", kStartZ, line);
  if (!InRange(IntField(context, 2), 1, 9999)) {
    return RefusedWithCode("8036", "Numar Z sfarsit raport eronat. Valori admise 1..9999 : ", line);
  }
  return Valid();
}

CheckResult CheckJeReportFromLine(const LineContext& context) {
  const std::string& line = context.line;
  if (context.fields.size() != 2) return RefusedFieldCount(line);
  if (!IsFirstLine(context)) return RefusedAsAccompanied(context);
  const std::int64_t number = Int64Value(context.fields[1]);
  if (number < 1 || number > 999999999) {
    return RefusedWithCode("8035", "Numar linie eronata. Valori admise 1..999999999 : ", line);
  }
  return Valid();
}

CheckResult CheckJeReceiptsOfZ(const LineContext& context) {
  const std::string& line = context.line;
  if (context.fields.size() != 4) return RefusedFieldCount(line);
  if (!IsFirstLine(context)) return RefusedAsAccompanied(context);
  if (!InRange(IntField(context, 1), 1, 9999)) return RefusedWithCode("8035", kStartZ, line);
  if (!InRange(IntField(context, 2), 1, 9999)) {
    return RefusedWithCode("8036",
                           "Numar bon inceput sfarsit raport eronat. Valori admise 1..9999 : ",
                           line);
  }
  if (!InRange(IntField(context, 3), 1, 9999)) {
    return RefusedWithCode("8036", "Numar bon sfarsit eronat. Valori admise 1..9999 : ", line);
  }
  return Valid();
}

CheckResult CheckJeReportByDate(const LineContext& context) {
  const std::string& line = context.line;
  if (context.fields.size() != 7) return RefusedFieldCount(line);
  if (!IsFirstLine(context)) return RefusedAsAccompanied(context);
  if (!IsDateInFields(context, 1)) return RefusedWithCode("8035", kStartDate, line);
  if (!IsDateInFields(context, 4)) return RefusedWithCode("8036", kEndDate, line);
  return Valid();
}

CheckResult CheckJeReportByReceipts(const LineContext& context) {
  const std::string& line = context.line;
  if (context.fields.size() != 6) return RefusedFieldCount(line);
  if (!IsFirstLine(context)) return RefusedAsAccompanied(context);
  if (!IsDateInFields(context, 1)) return RefusedWithCode("8035", kStartDate, line);
  if (!InRange(IntField(context, 4), 1, 9999)) {
    return RefusedWithCode("8035",
                           "Numar bon inceput raport eronat. Valori admise 1..9999 : ", line);
  }
  if (!InRange(IntField(context, 5), 1, 9999)) {
    return RefusedWithCode("8036",
                           "Numar bon sfarsit raport eronat. Valori admise 1..9999 : ", line);
  }
  return Valid();
}

CheckResult CheckBeep(const LineContext& context) {
  const std::string& line = context.line;
  if (context.fields.size() != 3) return RefusedFieldCount(line);
  if (!IsFirstLine(context)) return RefusedAsAccompanied(context);
  if (!InRange(IntField(context, 1), 1, 9)) {
    return RefusedWithCode("8035", "Numar de beep-uri eronat. Valori admise 1..9 : ", line);
  }
  if (!InRange(IntField(context, 2, -1), 0, 6)) {
    return RefusedWithCode("8035", "Valoare TON eronat. Valori admise 0..6 : ", line);
  }
  return Valid();
}

CheckResult CheckTypedReport(const LineContext& context) {
  if (context.fields.size() < 2) return RefusedFieldCount(context.line);
  if (!InRange(IntField(context, 1, -1), 1, 14)) {
    return RefusedWithCode("8051", "Parametrul TIP RAPORT este eronat. Valori admise: 1..14 ",
                           context.line);
  }
  return Valid();
}

}  // namespace ruvo
