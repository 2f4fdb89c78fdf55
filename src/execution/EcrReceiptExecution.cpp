#include "execution/EcrReceiptExecution.h"

#include "execution/AdminExecutor.h"
#include "execution/ReceiptExecutor.h"
#include "execution/SaleSettlement.h"

namespace ruvo {

EcrReceiptExecution::EcrReceiptExecution(LinkFactory makeLink) : makeLink_(std::move(makeLink)) {}

EcrReceiptExecution::EcrReceiptExecution(const DriverContext& context)
    : makeLink_([context] { return context.MakeLink(); }) {}

bool EcrReceiptExecution::PrepareEcrLink(ReceiptRun& run) {
  ReleaseLink(run);  // a link a previous file somehow left behind
  link_ = makeLink_ ? makeLink_() : nullptr;
  if (!link_) {
    run.response.WriteResponse(kExecutionUnavailable);
    return false;
  }
  if (ruvo::PrepareEcrLink(run, *link_)) return true;
  ReleaseLink(run);
  return false;
}

bool EcrReceiptExecution::ExecuteReceipt(ReceiptRun& run) {
  if (!link_) {
    run.response.WriteResponse(kExecutionUnavailable);
    return false;
  }
  const bool ok = ruvo::ExecuteReceipt(run, *link_);
  ReleaseLink(run);
  return ok;
}

void EcrReceiptExecution::ExecuteAdministrative(ReceiptRun& run) {
  if (!link_) {
    run.response.WriteResponse(kExecutionUnavailable);
    return;
  }
  ExecuteNonFiscalAndReports(run, *link_);
  ReleaseLink(run);
}

void EcrReceiptExecution::EndFile(ReceiptRun& run) { ReleaseLink(run); }

SaleSettlement EcrReceiptExecution::SettleInterruptedSale(const Settings& settings,
                                                          const InFlightRecord& record,
                                                          IRunPhases& phases,
                                                          std::vector<std::string>& log) {
  const std::unique_ptr<TXruvoLinux> link = makeLink_ ? makeLink_() : nullptr;
  if (!link) return {};
  link->SetLongTimeOut(settings.longTimeOut);
  SaleSettlement settlement;
  if (link->Engine().OpenPort(record.port)) {
    settlement = ruvo::SettleInterruptedSale(*link, record, phases);
  } else {
    link->Engine().IsReady();  // puts the port error into LastError
    settlement.notes.push_back("Portul casei de marcat nu se deschide : " +
                               link->Engine().LastError());
  }
  link->Engine().ClosePort();
  log.insert(log.end(), link->Engine().ExchangeLog().begin(), link->Engine().ExchangeLog().end());
  return settlement;
}

void EcrReceiptExecution::ReleaseLink(ReceiptRun& run) {
  if (!link_) return;
  const std::unique_ptr<TXruvoLinux> link = std::move(link_);
  link->Engine().ClosePort();
  run.log.insert(run.log.end(), link->Engine().ExchangeLog().begin(),
                 link->Engine().ExchangeLog().end());
}

}  // namespace ruvo
