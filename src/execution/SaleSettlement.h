#pragma once

#include "app/ReceiptExecution.h"
#include "ecr/TXruvoLinux.h"

namespace ruvo {

// Settles a sale whose run was cut short in phase (Lines or Closing), on an open link:
// asks the ECR for its receipt state and number ("1112"). A receipt still taking lines or
// payments is cancelled and the file may run again; a paid or closed one is finished with
// a cut and its number is the sale's; with no receipt open, a sale whose close had begun
// was closed (its number is the last one), any other never completed anything fiscal.
// phases hears of the finishing cut before and after it, so that a crash during it is
// not taken for a sale that never began.
SaleSettlement SettleInterruptedSale(TXruvoLinux& link, RunPhase phase, IRunPhases& phases);

}  // namespace ruvo
