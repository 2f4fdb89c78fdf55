#include "execution/SaleSettlement.h"

#include "execution/ReceiptExecutorFile.h"
#include "platform/IntegerText.h"

namespace ruvo {

namespace {

// The counts in the daily totals block ("1004"): receipts from position 0, cancelled
// receipts from 201, four digits each.
constexpr std::size_t kReceiptsAt = 0;
constexpr std::size_t kCancelledAt = 201;
constexpr std::size_t kCountWidth = 4;

std::optional<int> Count(const std::string& block, std::size_t at) {
  if (block.size() < at + kCountWidth) return std::nullopt;
  const std::string text = block.substr(at, kCountWidth);
  if (text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return ParseInt32(text);
}

SaleSettlement Silent(const FrameLink& engine, const std::string& what) {
  SaleSettlement s;
  s.outcome = SaleSettlement::Outcome::EcrSilent;
  s.notes.push_back(what + " : " + engine.LastError());
  return s;
}

// Nothing is done while the phase a step needs cannot be saved; the next tick asks again.
SaleSettlement Unsaved() {
  SaleSettlement s;
  s.outcome = SaleSettlement::Outcome::EcrSilent;
  s.notes.push_back("Jurnalul nu poate fi salvat; bonul asteapta");
  return s;
}

SaleSettlement Refused(const std::string& error, const std::string& note,
                       std::optional<std::string> pendingState = std::nullopt) {
  SaleSettlement s;
  s.outcome = SaleSettlement::Outcome::Refused;
  s.error = error;
  s.pendingState = std::move(pendingState);
  s.notes.push_back(note);
  return s;
}

SaleSettlement RunAgain(const std::string& note) {
  SaleSettlement s;
  s.outcome = SaleSettlement::Outcome::RunAgain;
  s.notes.push_back(note);
  return s;
}

SaleSettlement Finished(const std::string& number, const std::string& note) {
  SaleSettlement s;
  s.outcome = SaleSettlement::Outcome::Finished;
  s.receiptNumber = number;
  s.notes.push_back(note);
  return s;
}

std::optional<int> NumberOf(const std::string& text) {
  if (text.size() != kCountWidth || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  return ParseInt32(text);
}

// The counts of "1004" into mark; false when the ECR did not answer at all.
bool ReadCounts(TXruvoLinux& link, EcrMark& mark) {
  if (!link.ReadDailyTotals()) {
    // An ECR that refuses the block only tells less; one that does not answer tells nothing.
    return !AnswerLost(link.Engine().LastError());
  }
  const std::optional<int> receipts = Count(link.DailyTotalsBlock(), kReceiptsAt);
  const std::optional<int> cancelled = Count(link.DailyTotalsBlock(), kCancelledAt);
  if (receipts && cancelled) {
    mark.receipts = *receipts;
    mark.cancelled = *cancelled;
  }
  return true;
}

}  // namespace

std::optional<EcrMark> ReadEcrMark(TXruvoLinux& link) {
  std::string answer;
  if (!link.ReadLastReceiptNumber(answer)) return std::nullopt;
  EcrMark mark;
  const std::optional<int> number = NumberOf(link.ReceiptNumberText());
  mark.lastNumber = number.value_or(-1);
  if (!ReadCounts(link, mark)) return std::nullopt;
  return mark;
}

SaleSettlement SettleInterruptedSale(TXruvoLinux& link, const InFlightRecord& record,
                                     IRunPhases& phases) {
  const std::optional<EcrMark> now = ReadEcrMark(link);
  if (!now) return Silent(link.Engine(), "Casa de marcat nu raspunde la citirea starii bonului");
  const std::string number = link.ReceiptNumberText();
  const std::optional<EcrMark>& mark = record.mark;
  if (now->lastNumber < 0) {
    return Refused(kSaleUnknownAtEcr, "Casa de marcat a dat numarul de bon " + number);
  }
  // The receipt open or paid now is the sale's when it carries the number after the mark.
  const bool next = !mark || now->lastNumber == NextReceiptNumber(mark->lastNumber);

  if (link.ReceiptOpen()) {
    // Nothing fiscal was completed: the sale is cancelled and printed again whole. The
    // record first learns what the ECR will show once the cancel is done, so that a crash
    // after it finds nothing moved, not a receipt cancelled by someone else.
    EcrMark cancelled = *now;
    if (cancelled.CountsKnown()) ++cancelled.cancelled;
    if (!phases.Marked(RunPhase::Lines, cancelled)) return Unsaved();
    if (!link.CancelReceipt() || !link.PartialCut(0)) {
      return Silent(link.Engine(), "Bonul " + number + " neplatit nu a putut fi anulat");
    }
    return RunAgain("Bonul " + number + " neplatit a fost anulat; fisierul se executa din nou");
  }
  if (link.ReceiptPaid()) {
    if (!next) {
      return Refused(kSaleUnknownAtEcr,
                     "Bonul platit " + number + " nu urmeaza bonului de dinaintea vanzarii");
    }
    if (!phases.Reached(RunPhase::Closing, "")) return Unsaved();
    if (!link.PartialCut(0))
      return Silent(link.Engine(), "Bonul " + number + " platit nu a putut fi finalizat");
    static_cast<void>(phases.Reached(RunPhase::Closed, number));
    return Finished(number, "Bonul " + number + " era platit si a fost finalizat");
  }
  if (!mark) {
    // A record of an older driver: the last number may be anybody's.
    if (record.phase == RunPhase::Lines) {
      return RunAgain("Nici un bon nu fusese inceput; fisierul se executa din nou");
    }
    return Refused(kSaleUnknownAtEcr, "Starea casei de marcat dinaintea bonului nu este cunoscuta");
  }
  switch (CompareMark(*mark, *now)) {
    case EcrMove::ClosedOne:
      return Finished(number, "Bonul " + number + " fusese inchis");
    case EcrMove::CancelledOne:
      return Refused(kSaleCancelledAtEcr, "Bonul " + number + " a fost anulat la casa de marcat",
                     kPendingCancelled);
    case EcrMove::Unchanged:
      if (record.phase == RunPhase::Lines) {
        return RunAgain("Nici un bon nu fusese emis; fisierul se executa din nou");
      }
      return Refused(kSaleLostAtEcr, "Bonul nu se mai afla in casa de marcat");
    case EcrMove::Unknown:
      break;
  }
  return Refused(kSaleUnknownAtEcr, "Casa de marcat a emis alte bonuri dupa inceputul vanzarii");
}

}  // namespace ruvo
