#pragma once

#include <functional>
#include <memory>

#include "app/DriverContext.h"
#include "app/ReceiptExecution.h"
#include "ecr/TXruvoLinux.h"

namespace ruvo {

// The receipt files' way to the ECR: one fresh link per file, opened and checked by
// PrepareEcrLink, kept for the file's execution and closed, with its exchange log handed to
// the file's log, when the execution ends or at the latest in EndFile.
class EcrReceiptExecution final : public IReceiptExecution {
 public:
  using LinkFactory = std::function<std::unique_ptr<TXruvoLinux>()>;

  explicit EcrReceiptExecution(LinkFactory makeLink);
  // Links made by the driver's context (its clock, event pump and serial ports).
  explicit EcrReceiptExecution(const DriverContext& context);

  bool PrepareEcrLink(ReceiptRun& run) override;
  bool ExecuteReceipt(ReceiptRun& run) override;
  void ExecuteAdministrative(ReceiptRun& run) override;
  void EndFile(ReceiptRun& run) override;
  SaleSettlement SettleInterruptedSale(const Settings& settings, const InFlightRecord& record,
                                       IRunPhases& phases, std::vector<std::string>& log) override;

 private:
  void ReleaseLink(ReceiptRun& run);

  LinkFactory makeLink_;
  std::unique_ptr<TXruvoLinux> link_;
};

}  // namespace ruvo
