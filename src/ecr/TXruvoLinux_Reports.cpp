// Daily, typed, fiscal memory (MF) and electronic journal (JE) reports.
#include "ecr/Amount.h"
#include "ecr/TXruvoLinux.h"
#include "platform/CalendarDate.h"

namespace ruvo {

namespace {

constexpr int kReportTimeOut = 180;
constexpr int kStopFromDialogTimeOut = 30;

// The ECR answers a typed report with a lone ACK and prints for a long while; the link may
// poll it only during that command, whatever way the command ends.
class StatusPollScope {
 public:
  explicit StatusPollScope(FrameLink& link) : link_(link) { link_.SetStatusPollEnabled(true); }
  ~StatusPollScope() { link_.SetStatusPollEnabled(false); }
  StatusPollScope(const StatusPollScope&) = delete;
  StatusPollScope& operator=(const StatusPollScope&) = delete;

 private:
  FrameLink& link_;
};

std::string DateFields(int day, int month, int year) {
  return PadNumber(day, 2) + PadNumber(month, 2) + PadNumber(year, 2);
}

}  // namespace

// The two-digit year goes to the ECR as it is, so it is checked as the year itself (24 is
// the year 24).
bool TXruvoLinux::CheckReportDates(int startDay, int startMonth, int startYear, int endDay,
                                   int endMonth, int endYear) {
  if (!IsValidDate(startDay, startMonth, startYear)) {
    SetError(kErrStartDate);
    return false;
  }
  if (!IsValidDate(endDay, endMonth, endYear)) {
    SetError(kErrEndDate);
    return false;
  }
  return true;
}

bool TXruvoLinux::PrintZReport() {
  if (!IsReady()) return false;
  return RunCommand("2002", kReportTimeOut);
}

bool TXruvoLinux::PrintXReport() {
  if (!IsReady()) return false;
  return RunCommand("2003", kReportTimeOut);
}

bool TXruvoLinux::PrintDepartmentReport() {
  if (!IsReady()) return false;
  return RunCommand("2103", kDefaultTimeOut);
}

bool TXruvoLinux::PrintTypedReportA(int reportType) {
  if (!IsReady()) return false;
  const StatusPollScope poll(frame_);
  return RunCommand("2202" + PadNumber(reportType, 2), kDefaultTimeOut);
}

bool TXruvoLinux::PrintTypedReportB(int reportType) {
  if (!IsReady()) return false;
  const StatusPollScope poll(frame_);
  return RunCommand("2203" + PadNumber(reportType, 2), kDefaultTimeOut);
}

bool TXruvoLinux::PrintMFReportByNumber(int first, int last) {
  return RunCommand("5001" + PadNumber(first, 4) + PadNumber(last, 4), kReportTimeOut);
}

bool TXruvoLinux::PrintMFReportByDate(int kind, int startDay, int startMonth, int startYear,
                                      int endDay, int endMonth, int endYear) {
  if (kind == 3) return RunCommand("5004", kReportTimeOut);
  if (kind != 1 && kind != 2) {
    SetError(kErrReportKind);
    return false;
  }
  if (!CheckReportDates(startDay, startMonth, startYear, endDay, endMonth, endYear)) return false;
  const std::string text = std::string(kind == 1 ? "5002" : "5003") +
                           DateFields(startDay, startMonth, startYear) +
                           DateFields(endDay, endMonth, endYear);
  return RunCommand(text, kReportTimeOut);
}

bool TXruvoLinux::StopReport(bool fromReportDialog) {
  if (fromReportDialog) return RunCommand("5005", kStopFromDialogTimeOut);
  if (!IsReady()) return false;
  return RunCommand("5005", kDefaultTimeOut);
}

bool TXruvoLinux::PrintJEReportByDate(int startDay, int startMonth, int startYear, int endDay,
                                      int endMonth, int endYear) {
  if (!CheckReportDates(startDay, startMonth, startYear, endDay, endMonth, endYear)) return false;
  return RunCommand("8001" + DateFields(startDay, startMonth, startYear) +
                        DateFields(endDay, endMonth, endYear),
                    kReportTimeOut);
}

bool TXruvoLinux::PrintJEReportByReceipts(int day, int month, int year, int first, int last) {
  if (!IsValidDate(day, month, year)) {
    SetError(kErrStartDate);
    return false;
  }
  return RunCommand("8002" + DateFields(day, month, year) + PadNumber(first, 4) +
                        PadNumber(last, 4),
                    kReportTimeOut);
}

bool TXruvoLinux::PrintJEReportByZ(int first, int last) {
  return RunCommand("8003" + PadNumber(first, 4) + PadNumber(last, 4), kReportTimeOut);
}

bool TXruvoLinux::PrintJEReportFromLine(std::int64_t line) {
  return RunCommand("8004" + PadNumber(line, 9), kReportTimeOut);
}

bool TXruvoLinux::PrintJEReceiptsOfZ(int z, int first, int last) {
  reportAnswer_.clear();
  if (!RunCommand("8006" + PadNumber(z, 4) + PadNumber(first, 4) + PadNumber(last, 4),
                  kReportTimeOut))
    return false;
  reportAnswer_ = LastAnswer();
  return true;
}

}  // namespace ruvo
