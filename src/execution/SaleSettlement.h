#pragma once

#include <optional>
#include <string>

#include "app/ReceiptExecution.h"
#include "ecr/TXruvoLinux.h"

namespace ruvo {

// The answers of a sale whose run a crash interrupted when the ECR shows that its receipt
// was not printed, or cannot show what became of it. None is "0 OK": the sales
// application must not take such a sale for printed.
inline const std::string kSaleCancelledAtEcr = "8096;Bonul fiscal a fost anulat la casa de marcat";
inline const std::string kSaleLostAtEcr =
    "8095;Bonul fiscal nu a fost emis, casa de marcat nu il mai are. Retransmiteti bonul fiscal";
inline const std::string kSaleUnknownAtEcr =
    "8094;Casa de marcat nu arata ce a devenit bonul fiscal. Verificati casa de marcat";

// What the ECR shows now of its receipts, read on an open link with "1112" and "1004";
// the counts stay unknown when the ECR refuses "1004". Nothing when it does not answer,
// with the link's error set.
std::optional<EcrMark> ReadEcrMark(TXruvoLinux& link);

// Settles a sale whose run was cut short in the record's phase (Lines or Closing), on an
// open link: asks the ECR for its receipt state and number ("1112") and, against the
// record's mark, its counts of receipts ("1004"). A receipt still taking lines or payments
// is cancelled and the file may run again; a paid one is finished with a cut and its
// number is the sale's. With no receipt open, the sale counts as printed only when the
// ECR closed exactly the next receipt since the mark; one cancelled there is answered as
// cancelled, one lost (nothing moved, the close had been sent) as lost, anything else as
// not known; a sale whose lines had begun and left no trace runs again. phases hears of
// the finishing cut and of the cancel before they are sent, so that a crash during them
// is settled in turn.
SaleSettlement SettleInterruptedSale(TXruvoLinux& link, const InFlightRecord& record,
                                     IRunPhases& phases);

}  // namespace ruvo
