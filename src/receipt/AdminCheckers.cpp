#include "receipt/AdminCheckers.h"

#include "platform/CalendarDate.h"
#include "receipt/NumericRules.h"

namespace ruvo {

namespace {

// Two characters of a packed date or time field, when numeric: their value.
bool TwoDigitValue(std::string_view packed, std::size_t offset, int& value) {
  if (offset > packed.size()) return false;
  const std::string_view part = packed.substr(offset, 2);
  if (!IsWholeNumberField(part)) return false;
  value = IntValue(part);
  return true;
}

}  // namespace

CheckResult CheckNonFiscalMark(const LineContext& context) {
  if (context.fields.size() > 1) return RefusedFieldCount(context.line);
  return Valid();
}

CheckResult CheckCashInOut(const LineContext& context) {
  const Fields& fields = context.fields;
  if (fields.size() < 2) return RefusedFieldCount(context.line);
  const std::string& operation = fields[1];
  if (operation != "D" && operation != "P" && operation != "R") {
    return RefusedWithoutCode("Tip operatie eronata. Valori admise D, P, sau R  : ", context.line);
  }
  if (operation == "R") return Valid();
  if (fields.size() < 3) return RefusedFieldCount(context.line);
  // Cash moves only by an amount: 0 is refused here, not by the ECR after the receipt opened.
  if (!IsCashAmountField(FieldOrEmpty(fields, 2))) {
    return RefusedWithCode("8022", "Suma eronata : ", context.line);
  }
  return Valid();
}

CheckResult CheckSetDateTime(const LineContext& context) {
  const Fields& fields = context.fields;
  const std::string& line = context.line;
  if (fields.size() < 3) return RefusedFieldCount(line);
  const std::string& date = fields[1];
  const std::string& time = fields[2];
  if (date.size() != 6) return RefusedWithoutCode("Parametrul DATA este eronat : ", line);
  if (time.size() != 4) return RefusedWithoutCode("Parametrul ORA-MIN este eronat : ", line);
  int day = 0;
  int month = 0;
  int year = 0;
  int hour = 0;
  int minute = 0;
  if (!TwoDigitValue(date, 0, day) || day < 1 || day > 31) {
    return RefusedWithoutCode("Parametrul ZI este eronat : ", line);
  }
  if (!TwoDigitValue(date, 2, month) || month < 1 || month > 12) {
    return RefusedWithoutCode("Parametrul LUNA este eronat : ", line);
  }
  if (!TwoDigitValue(date, 4, year) || year < 18) {
    return RefusedWithoutCode("Parametrul AN este eronat : ", line);
  }
  if (!IsValidDate(day, month, year + 2000)) return RefusedWithoutCode("Data eronata : ", line);
  if (!TwoDigitValue(time, 0, hour) || hour < 0 || hour > 23) {
    return RefusedWithoutCode("Parametrul ORA este eronat : ", line);
  }
  if (!TwoDigitValue(time, 2, minute) || minute < 0 || minute > 59) {
    return RefusedWithoutCode("Parametrul MINUTE este eronat : ", line);
  }
  return Valid();
}

CheckResult CheckXmlExport(const LineContext& context) {
  const Fields& fields = context.fields;
  const std::string& line = context.line;
  if (fields.size() < 4) return RefusedFieldCount(line);
  if (!IsNumeric(context, 1) || fields[1].size() != 4) {
    return RefusedWithoutCode("Parametrul AN este eronat : ", line);
  }
  const int month = IntField(context, 2);
  if (month < 1 || month > 12) return RefusedWithoutCode("Parametrul LUNA este eronat : ", line);
  if (fields[3] != "R" && fields[3] != "X") {
    return RefusedWithoutCode("Parametrul TIP EXPORT este eronat. Valori admise (X sau R) : ",
                              line);
  }
  if (fields.size() >= 5 && !fields[4].empty() && fields[4] != "1" && fields[4] != "2") {
    return RefusedWithoutCode("Parametrul EXPORT PE PC este eronat. Valori admise (1 sau 2) : ",
                              line);
  }
  if (fields.size() == 6) {
    return RefusedWithoutCode("Lipseste NUMARUL ULTIMULUI RAPORT : ", line);
  }
  if (fields.size() >= 7) {
    if (!IsNumeric(context, 5)) {
      return RefusedWithoutCode("Parametrul NR.INCEPUT RAPORT este nenumeric : ", line);
    }
    if (!IsNumeric(context, 6)) {
      return RefusedWithoutCode("Parametrul NR.SFARSIT RAPORT este nenumeric : ", line);
    }
    if (IntField(context, 6) < IntField(context, 5)) {
      return RefusedWithoutCode("NR.INCEPUT RAPORT este mai mare decat NR.SFARSIT RAPORT : ", line);
    }
  }
  return Valid();
}

}  // namespace ruvo
