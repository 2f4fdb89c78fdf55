// The monthly XML export: request ("6416"), open ("7400"), read in hexadecimal pieces
// ("7403060") or whole ("7404"), close ("7408").
#include "ecr/Amount.h"
#include "ecr/DecimalText.h"
#include "ecr/TXruvoLinux.h"

namespace ruvo {

namespace {

constexpr std::int64_t kExportRetryPauseMs = 200;

// A report number as N4; a text that is no integer goes as it is, zero-padded, and the
// ECR refuses it with its own error.
std::string ReportNumberField(const std::string& text) {
  std::int32_t value = 0;
  if (ParseDecimalInt(text, value)) return PadNumber(value, 4);
  return text.size() < 4 ? std::string(4 - text.size(), '0') + text : text;
}

// The whole answer of "7404" is data of an announced length, not a framed answer; the
// link reads it that way only during that command, whatever way the command ends.
class LengthPrefixedScope {
 public:
  explicit LengthPrefixedScope(FrameLink& link) : link_(link) { link_.SetLengthPrefixed(true); }
  ~LengthPrefixedScope() { link_.SetLengthPrefixed(false); }
  LengthPrefixedScope(const LengthPrefixedScope&) = delete;
  LengthPrefixedScope& operator=(const LengthPrefixedScope&) = delete;

 private:
  FrameLink& link_;
};

}  // namespace

bool TXruvoLinux::StartXmlExport(const std::string& year, int month, const std::string& exportType,
                                 const std::string& firstReport, const std::string& lastReport) {
  if (!IsReady()) return false;
  std::string text = "6416" + year + PadNumber(month, 2) + exportType;
  if (!firstReport.empty() || !lastReport.empty())
    text += ReportNumberField(firstReport) + ReportNumberField(lastReport);
  int result = Transact(text, kDefaultTimeOut);
  if (result == kErrExportOpen) {
    // An export left open by an earlier transfer: close it and ask again, once.
    EndExportTransfer();
    frame_.Pause(kExportRetryPauseMs);
    result = Transact(text, kDefaultTimeOut);
  }
  if (result == kOk) return true;
  SetError(result);
  return false;
}

bool TXruvoLinux::BeginExportTransfer(bool typeX) {
  if (!IsReady()) return false;
  return RunCommand(std::string("7400") + (typeX ? "0701" : "0401"), kDefaultTimeOut);
}

bool TXruvoLinux::ReadExportChunk() {
  if (!IsReady()) return false;
  return RunCommand("7403060", kDefaultTimeOut);
}

bool TXruvoLinux::ReadExportData() {
  if (!IsReady()) return false;
  const LengthPrefixedScope lengthPrefixed(frame_);
  return RunCommand("7404", kDefaultTimeOut);
}

bool TXruvoLinux::EndExportTransfer() {
  if (!IsReady()) return false;
  return RunCommand("7408", kDefaultTimeOut);
}

}  // namespace ruvo
