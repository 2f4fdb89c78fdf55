#pragma once

#include <memory>
#include <string>

#include "TerminalObserver.h"
#include "app/Driver.h"
#include "app/DriverContext.h"
#include "app/ReceiptCycle.h"
#include "app/ReceiptFiles.h"
#include "console/ControlServer.h"
#include "execution/EcrReceiptExecution.h"
#include "http/HttpOperationKeys.h"
#include "http/HttpService.h"

namespace ruvo {

class IClock;
class IEventPump;
class IOperator;

// The driver with everything that serves it: the receipt file cycle on the ECR, the
// control socket and, when set on, the HTTP server. Whoever runs the loop serves
// ServeRequests at every turn and inside the driver's waits.
class DriverProgram {
 public:
  DriverProgram(const std::string& workingFolder, const std::string& runtimeFolder, IClock& clock,
                IEventPump& pump, IOperator& shownTo);
  ~DriverProgram();
  DriverProgram(const DriverProgram&) = delete;
  DriverProgram& operator=(const DriverProgram&) = delete;

  Driver& TheDriver() { return driver_; }
  TerminalObserver& Observer() { return observer_; }
  ControlServer& Control() { return control_; }
  http::HttpService* Http() { return http_.get(); }

  void ServeHttp();
  void ServeRequests();
  // Requests kept for the end of the work must be asked again soon.
  bool RequestsWaiting() const;

 private:
  PosixPortFactory ports_;
  Driver driver_;
  TerminalObserver observer_;
  EcrReceiptExecution execution_;
  ReceiptFileCycle cycle_;
  ReceiptFilesOf<ReceiptFileCycle> files_;
  // Operation keys (ctl --key, the HTTP operations' Idempotency-Key), beside the receipts'.
  std::unique_ptr<http::HttpOperationKeys> operationKeys_;
  ControlServer control_;
  std::unique_ptr<http::HttpService> http_;
};

}  // namespace ruvo
