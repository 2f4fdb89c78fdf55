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

SaleSettlement SettleInterruptedSale(TXruvoLinux& link, RunPhase phase) {
  std::string answer;
  if (!link.ReadLastReceiptNumber(answer)) {
    return Silent(link, "Casa de marcat nu raspunde la citirea starii bonului");
  }
  const std::string number = link.ReceiptNumberText();
  SaleSettlement s;
  if (link.ReceiptOpen()) {
    // Nothing fiscal was completed: the sale is cancelled and printed again whole.
    if (!link.CancelReceipt() || !link.PartialCut(0)) {
      return Silent(link, "Bonul " + number + " neplatit nu a putut fi anulat");
    }
    s.outcome = SaleSettlement::Outcome::RunAgain;
    s.notes.push_back("Bonul " + number + " neplatit a fost anulat; fisierul se executa din nou");
    return s;
  }
  if (link.ReceiptPaid()) {
    if (!link.PartialCut(0)) return Silent(link, "Bonul " + number + " platit nu a putut fi finalizat");
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
