#include "DriverProgram.h"

#include <vector>

#include "app/SettingsFile.h"
#include "console/ControlCommands.h"
#include "console/ControlCommandsKeyed.h"
#include "platform/Files.h"
#include "platform/Log.h"

namespace ruvo {

DriverProgram::DriverProgram(const std::string& workingFolder, const std::string& runtimeFolder,
                             IClock& clock, IEventPump& pump, IOperator& shownTo)
    : ports_(JoinPath(workingFolder, kSettingsFileName), clock, pump),
      driver_(DriverContext{clock, pump, shownTo, ports_}, workingFolder),
      observer_(driver_),
      execution_(driver_.Context()),
      cycle_(driver_.State(), shownTo, clock, execution_),
      files_(cycle_),
      operationKeys_(http::HttpOperationKeys::Load(workingFolder, clock)),
      control_(ControlSocketPath(runtimeFolder), clock,
               [this](const std::vector<std::string>& arguments) {
                 return ServeControlRequest(driver_, arguments);
               }) {
  driver_.SetObserver(&observer_);
  cycle_.ServeDuringPauses(pump);
  driver_.SetReceiptFiles(files_);
  UseOperationKeys(operationKeys_.get());
  Log(LogLevel::Info, "working folder " + workingFolder);
  if (!control_.Listening()) {
    Log(LogLevel::Warning,
        "no control socket (" + control_.Problem() + "); ruvo_drv ctl will not reach this driver");
  }
  std::string httpFailure;
  http_ = http::HttpService::Start(workingFolder, driver_, clock, &httpFailure);
  if (!httpFailure.empty()) observer_.SetNote(http::kHttpStoppedLine + httpFailure);
}

// The control commands must not keep a store that goes with the program.
DriverProgram::~DriverProgram() { UseOperationKeys(nullptr); }

void DriverProgram::ServeHttp() {
  if (http_) http_->Serve();
}

void DriverProgram::ServeRequests() {
  control_.ServeOne();
  ServeHttp();
}

bool DriverProgram::RequestsWaiting() const {
  return control_.HasWaiting() || (http_ && http_->HasWaiting());
}

}  // namespace ruvo
