#include "receipt/FileRules.h"

#include "receipt/LineCheck.h"
#include "receipt/TextCase.h"

namespace ruvo {

namespace {

// The fiscal commands that make a file worth a receipt on their own; text, payment,
// discount, subtotal, operator and "100"/"101" lines do not.
bool HasFiscalSubject(const PresenceFlags& flags) {
  return flags.sale || flags.cancelReceipt || flags.dailyReport || flags.dailyTotals ||
         flags.xReport || flags.departmentReport || flags.receiptStateQuery ||
         flags.totalizerRead || flags.totalizersRead || flags.mfReport || flags.finishReceipt ||
         flags.loneText || flags.fiscalSeriesRead;
}

// Free text may not follow a payment, and "12" lines may stand only together at the
// very end. The raw text is looked at, so "21;..." is no "2;" line.
std::optional<std::string> CheckLineOrder(const std::vector<std::string>& lines) {
  bool paymentSeen = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (StartsWith(line, "2;") && paymentSeen) return "5;OPERATIE IMPOSIBILA;" + EchoedText(line);
    if (StartsWith(line, "12;") && i + 1 < lines.size() && !StartsWith(lines[i + 1], "12;")) {
      return "5;OPERATIE IMPOSIBILA;" + EchoedText(line);
    }
    if (StartsWith(line, "5;")) paymentSeen = true;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> CheckFileRules(const std::vector<std::string>& lines,
                                          const PresenceFlags& flags, bool connected) {
  if (flags.fiscalGroup && flags.nonFiscalGroup) {
    return std::string("8021;NU SUNT ADMISE COMENZI FISCALE SI NEFISCALE IN ACELASI BON");
  }
  if (!connected) return std::string(" NU POT COMUNICA CU CASA DE MARCAT");
  if (flags.fiscalGroup && !HasFiscalSubject(flags)) {
    return std::string("8029;Fisierul nu contine nici o linie de vanzare articol ");
  }
  if (flags.sale && !flags.payment) return std::string("8026;Nu este precizat modul de plata ");
  if (flags.payment && !flags.sale) return std::string("8026;Nu exista nici o linie de vanzare ");
  return CheckLineOrder(lines);
}

std::optional<std::string> CheckReturns(const NetQuantityTable& netQuantities) {
  if (std::optional<std::string> article = netQuantities.FindReturnedArticle()) {
    return "8052;Nu sunt permise retururi de articole : " + EchoedText(*article);
  }
  return std::nullopt;
}

}  // namespace ruvo
