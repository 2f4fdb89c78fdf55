#include "execution/SaleSettlement.h"

namespace ruvo {

namespace {

SaleSettlement Silent(const TXruvoLinux& link, const std::string& what) {
  SaleSettlement s;
  s.outcome = SaleSettlement::Outcome::EcrSilent;
  s.notes.push_back(what + " : " + link.LastError());
  return s;
}

// Nothing is done while the phase a step needs cannot be saved; the next tick asks again.
SaleSettlement Unsaved() {
  SaleSettlement s;
  s.outcome = SaleSettlement::Outcome::EcrSilent;
  s.notes.push_back("Jurnalul nu poate fi salvat; bonul asteapta");
  return s;
}

}  // namespace

SaleSettlement SettleInterruptedSale(TXruvoLinux& link, RunPhase phase, IRunPhases& phases) {
  std::string answer;
  if (!link.ReadLastReceiptNumber(answer)) {
    return Silent(link, "Casa de marcat nu raspunde la citirea starii bonului");
  }
  const std::string number = link.ReceiptNumberText();
  SaleSettlement s;
  if (link.ReceiptOpen()) {
    // Nothing fiscal was completed: the sale is cancelled and printed again whole. A
    // cancelled receipt's number is the last one too: it must not pass for a closed sale.
    if (!phases.Reached(RunPhase::Lines, "")) return Unsaved();
    if (!link.CancelReceipt() || !link.PartialCut(0)) {
      return Silent(link, "Bonul " + number + " neplatit nu a putut fi anulat");
    }
    s.outcome = SaleSettlement::Outcome::RunAgain;
    s.notes.push_back("Bonul " + number + " neplatit a fost anulat; fisierul se executa din nou");
    return s;
  }
  if (link.ReceiptPaid()) {
    if (!phases.Reached(RunPhase::Closing, "")) return Unsaved();
    if (!link.PartialCut(0))
      return Silent(link, "Bonul " + number + " platit nu a putut fi finalizat");
    static_cast<void>(phases.Reached(RunPhase::Closed, number));
    s.outcome = SaleSettlement::Outcome::Finished;
    s.receiptNumber = number;
    s.notes.push_back("Bonul " + number + " era platit si a fost finalizat");
    return s;
  }
  if (phase == RunPhase::Closing) {
    s.outcome = SaleSettlement::Outcome::Finished;
    s.receiptNumber = number;
    s.notes.push_back("Bonul " + number + " fusese inchis");
    return s;
  }
  s.outcome = SaleSettlement::Outcome::RunAgain;
  s.notes.push_back("Nici un bon nu fusese inceput; fisierul se executa din nou");
  return s;
}

}  // namespace ruvo
