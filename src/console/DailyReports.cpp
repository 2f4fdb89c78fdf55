// "Raport zilnic" (Z) and "Raport X".
#include "console/ManualOperations.h"
#include "platform/ServedPause.h"

namespace ruvo {

namespace {

// After a report the window throws away the clicks that queued up on its button while the
// ECR printed; they must have arrived by then.
constexpr std::int64_t kPauseBeforeDiscardMs = 500;

// The report's run goes on through the pause, though its port is closed; what is asked
// meanwhile must not run inside it.
class EndingMark {
 public:
  explicit EndingMark(DriverState& state) : state_(state), before_(state.operationEnding) {
    state_.operationEnding = true;
  }
  ~EndingMark() { state_.operationEnding = before_; }
  EndingMark(const EndingMark&) = delete;
  EndingMark& operator=(const EndingMark&) = delete;

 private:
  DriverState& state_;
  bool before_;
};

const std::string kCheckFailedMessage = "Nu pot efectua raportul zilnic  !\r";

bool RunDailyReport(const ConsoleContext& context, const OperationKind& kind,
                    bool (TXruvoLinux::*print)(), const std::string& failureMessage) {
  const bool printed = RunOperation(context, kind, [&](TXruvoLinux& link) {
    const EcrCheckResult check = CheckEcrStateFor(context, link, EcrCheckKind::Report);
    if (!check.ok) {
      ShowOperationFailure(context, kCheckFailedMessage + check.error);
      return false;
    }
    // A stop asked for during the check: the report is not started at all.
    if (link.StoppedBeforeReport()) {
      ShowOperationFailure(context, failureMessage + link.Engine().LastError());
      return false;
    }
    if (!(link.*print)()) {
      ShowOperationFailure(context, failureMessage + link.Engine().LastError());
      return false;
    }
    return true;
  });
  const EndingMark ending(context.state);
  ServedPause(context.driver.clock, context.driver.pump, kPauseBeforeDiscardMs);
  return printed;
}

}  // namespace

bool RunZReport(const ConsoleContext& context) {
  return RunDailyReport(context, kZReportOperation, &TXruvoLinux::PrintZReport,
                        "Nu pot efectua raportul Z  !\r");
}

bool RunXReport(const ConsoleContext& context) {
  return RunDailyReport(context, kXReportOperation, &TXruvoLinux::PrintXReport,
                        "Nu pot efectua raportul X zilnic  !\r");
}

}  // namespace ruvo
