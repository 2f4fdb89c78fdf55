#include "receipt/SaleSettlement.h"

namespace ruvo {

namespace {

SaleSettlement Silent(const TXruvoLinux& link, const std::string& what) {
  SaleSettlement s;
  s.outcome = SaleSettlement::Outcome::EcrSilent;
  s.notes.push_back(what + " : " + link.LastError());
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
    phases.Reached(RunPhase::Lines, "");
    if (!link.CancelReceipt() || !link.PartialCut(0)) {
      return Silent(link, "Bonul " + number + " neplatit nu a putut fi anulat");
    }
    s.outcome = SaleSettlement::Outcome::RunAgain;
    s.notes.push_back("Bonul " + number + " neplatit a fost anulat; fisierul se executa din nou");
    return s;
  }
  if (link.ReceiptPaid()) {
    phases.Reached(RunPhase::Closing, "");
    if (!link.PartialCut(0)) return Silent(link, "Bonul " + number + " platit nu a putut fi finalizat");
    phases.Reached(RunPhase::Closed, number);
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
