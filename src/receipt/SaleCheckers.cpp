#include "receipt/SaleCheckers.h"

#include "receipt/NumericRules.h"

namespace ruvo {

namespace {

bool NumericInRange(const LineContext& context, std::size_t index, int low, int high) {
  if (!IsNumeric(context, index)) return false;
  const int value = IntField(context, index);
  return value >= low && value <= high;
}

}  // namespace

bool IsReturnSaleLine(const Fields& fields) {
  return fields.size() >= 9 && fields[0] == "1" && fields[8] == "-";
}

CheckResult CheckSaleLine(const LineContext& context) {
  const Fields& fields = context.fields;
  const std::string& line = context.line;
  if (fields.size() < 7) return RefusedFieldCount(line);
  if (fields[1].empty()) return RefusedWithCode("8008", "Lipseste denumire articol : ", line);
  if (fields[2].empty()) {
    return RefusedWithCode("8049", "Lipseste unitate de masura articol : ", line);
  }
  if (!NumericInRange(context, 3, 0, 999)) {
    return RefusedWithCode("8009", "Codul departamentului este eronat : ", line);
  }
  if (!NumericInRange(context, 4, 0, 8)) {
    return RefusedWithCode("8010", "Codul cotei de TVA este eronata : ", line);
  }
  if (!IsAmount(context, 5)) return RefusedWithCode("8011", "Pret eronat : ", line);
  if (!IsAmount(context, 6)) return RefusedWithCode("8012", "Cantitate eronata : ", line);
  // The message has always named 1..9999.99999; a quantity of zero is refused with it as
  // well, rather than sending the ECR a sale of nothing.
  const std::int64_t quantity = Int64Value(fields[6]);
  if (quantity < 1 || quantity / 100000 > 9999) {
    return RefusedWithCode("8012", "Cantitate eronata. Valori admise 1..9999.99999 : ", line);
  }
  if (fields.size() >= 8 && !fields[7].empty()) {
    const int denominator = IntValue(fields[7]);
    if (denominator < 1 || denominator > 9999) {
      return RefusedWithCode("8050", "Numitor cantitate eronata. Valori admise 1..9999 : ", line);
    }
  }
  return Valid();
}

CheckResult CheckFixedNameLine(const LineContext& context) {
  if (context.fields.size() < 3) return RefusedFieldCount(context.line);
  if (!IsAmount(context, 1)) return RefusedWithCode("8011", "Pret eronat : ", context.line);
  if (!NumericInRange(context, 2, 0, 8)) {
    return RefusedWithCode("8010", "Codul cotei de TVA este eronata : ", context.line);
  }
  return Valid();
}

CheckResult CheckPayment(const LineContext& context) {
  if (context.fields.size() < 3) return RefusedFieldCount(context.line);
  if (!IsAmount(context, 1)) {
    return RefusedWithCode("8013", "Suma mod plata eronata : ", context.line);
  }
  if (!NumericInRange(context, 2, 1, 30) || IntField(context, 2) == 2) {
    return RefusedWithCode("8014", "Cod mod de plata eronat  : ", context.line);
  }
  return Valid();
}

CheckResult CheckDiscount(const LineContext& context) {
  const Fields& fields = context.fields;
  const std::string& line = context.line;
  auto zeroOrOne = [](const std::string& text) { return text == "0" || text == "1"; };
  if (fields.size() < 5) return RefusedFieldCount(line);
  if (!zeroOrOne(fields[1])) {
    return RefusedWithCode("8015", "Tip functie adaos/discount eronata : ", line);
  }
  if (!zeroOrOne(fields[2])) {
    return RefusedWithCode("8016", "Mod aplicare adaos/discount eronat: ", line);
  }
  if (fields[2] == "0" && context.previousLine != nullptr &&
      IsReturnSaleLine(*context.previousLine)) {
    return RefusedWithCode("8044", "Nu se poate aplica discount la o linie storno: ", line);
  }
  if (fields[3] != "1") {
    return RefusedWithCode("8017", "Mod alegere valoare adaos/discount eronat: ", line);
  }
  // Hundredths of a percent: 10000 is 100 %. A percentage that is the amount taken must
  // be a number ("12.5" would take 0 % off); one that the value of field 5 replaces is
  // never read, and sales applications leave it empty or put anything there.
  const bool percentageTaken = fields.size() < 7 || fields[6] == "0";
  const int percentage = IntValue(fields[4]);
  if ((percentageTaken && !IsNumeric(context, 4)) || percentage < 0 || percentage > 10000) {
    return RefusedWithCode("8018", "Procent adaos/discount eronat : ", line);
  }
  if (fields.size() >= 6 && !IsAmount(context, 5)) {
    return RefusedWithCode("8019", "Valoare adaos/discount eronata: ", line);
  }
  if (fields.size() >= 7 && !zeroOrOne(fields[6])) {
    return RefusedWithCode("8015", "Tip adaos/discount eronat: ", line);
  }
  return Valid();
}

CheckResult CheckBarcode(const LineContext& context) {
  const std::string& line = context.line;
  if (context.fields.size() < 5) return RefusedFieldCount(line);
  if (!NumericInRange(context, 1, 1, 9)) {
    return RefusedWithCode("8032", "Tip cod bare eronat : ", line);
  }
  if (!NumericInRange(context, 2, 0, 2)) {
    return RefusedWithCode(
        "8033",
        "Flagul privind modul de tiparire al cifrelor la codul de bare este eronat : ", line);
  }
  if (!NumericInRange(context, 3, 1, 9)) {
    return RefusedWithCode("8033",
                           "Parametrul INALTIME COD BARE este eronat (valori admise 1..9) : ",
                           line);
  }
  return Valid();
}

CheckResult CheckOperatorChange(const LineContext& context) {
  if (context.fields.size() < 2) return RefusedFieldCount(context.line);
  if (!IsNumeric(context, 1)) {
    return RefusedWithCode("8046", "Cod operator nenumeric: ", context.line);
  }
  if (context.countedLine > 1) {
    return RefusedWithCode(
        "8046", "Comanda de schimbare operator trebuie sa se afle pe prima linie a bonului: ",
        context.line);
  }
  return Valid();
}

CheckResult CheckSubtotal(const LineContext& context) {
  if (context.fields.size() > 1) return RefusedFieldCount(context.line);
  return Valid();
}

CheckResult CheckTwoPartText(const LineContext& context) {
  if (context.fields.size() < 2) return RefusedFieldCount(context.line);
  return Valid();
}

}  // namespace ruvo
