#include "app/ReceiptExecution.h"

namespace ruvo {

bool UnavailableReceiptExecution::PrepareEcrLink(ReceiptRun& run) {
  run.response.WriteResponse(kExecutionUnavailable);
  return false;
}

bool UnavailableReceiptExecution::ExecuteReceipt(ReceiptRun& run) {
  run.response.WriteResponse(kExecutionUnavailable);
  return false;
}

void UnavailableReceiptExecution::ExecuteAdministrative(ReceiptRun& run) {
  run.response.WriteResponse(kExecutionUnavailable);
}

}  // namespace ruvo
