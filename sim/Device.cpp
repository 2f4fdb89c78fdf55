#include "Device.h"

#include "platform/CalendarDate.h"

#include <chrono>

namespace xruvo_sim {

Device::Device(ruvo::IClock& clock, Paper& paper, const SimConfig& config)
    : clock_(clock),
      paper_(paper),
      config_(config),
      lastReceiptNumber_(config.lastReceiptNumber),
      lastZNumber_(config.lastZNumber),
      lastNonFiscalNumber_(config.lastNonFiscalNumber),
      jeFreeLines_(config.jeFreeLines),
      lastZAtMs_(ToEpochMs(clock.Now())) {}

// The command codes the ECR understands. Lookup takes the longest code that starts the
// text, so "33021" wins over a bare "3302" and "7403060" is one code.
const std::vector<Device::Command>& Device::Table() {
  static const std::vector<Command> table = {
      {"1001", &Device::SwitchOver},
      {"1004", &Device::DailyTotalsBlock},
      {"1008", &Device::FiscalSeries},
      {"1010", &Device::Poll},
      {"1012", &Device::ReceiptStateQuery},
      {"1015", &Device::ExtendedErrorQuery},
      {"1111", &Device::DocumentState},
      {"1112", &Device::LastReceipt},
      {"1113", &Device::Totalizer},
      {"1215", &Device::Status},
      {"1309", &Device::PrinterState},
      {"2001", &Device::SetDateTime},
      {"2002", &Device::ZReport},
      {"2003", &Device::XReport},
      {"2103", &Device::DepartmentReport},
      {"2202", &Device::TypedReport},
      {"2203", &Device::TypedReport},
      {"3002", &Device::Text3002},
      {"3003", &Device::Subtotal},
      {"3007", &Device::Payment},
      {"3008", &Device::Text3008},
      {"3010", &Device::Text3010},
      {"3011", &Device::Close},
      {"3012", &Device::Text3012},
      {"3014", &Device::PartialCut},
      {"3015", &Device::FullCut},
      {"3023", &Device::Barcode},
      {"3116", &Device::Beep},
      {"3301C", &Device::FollowUpAmount},
      {"3301O", &Device::SetOperator},
      {"33021", &Device::SaleNormal},
      {"33024", &Device::SaleStorno},
      {"33022", &Device::AdjustValueKind0},
      {"33023", &Device::AdjustValueKind1},
      {"3302B", &Device::AdjustPercentKind0},
      {"3302C", &Device::AdjustPercentKind1},
      {"33028", &Device::Cancel},
      {"40011", &Device::OpenNonFiscal},
      {"4003", &Device::NonFiscalText},
      {"4004", &Device::CloseNonFiscal},
      {"5001", &Device::MfByNumber},
      {"5002", &Device::MfByDate},
      {"5003", &Device::MfByDate},
      {"5004", &Device::MfAll},
      {"5005", &Device::StopReportCommand},
      {"6416", &Device::StartExport},
      {"7007", &Device::Display},
      {"7008", &Device::Totalizers},
      {"7106", &Device::CashInOut},
      {"7400", &Device::BeginTransfer},
      {"7403060", &Device::ReadChunk},
      {"7404", &Device::ReadWhole},
      {"7408", &Device::EndTransfer},
      {"8001", &Device::JeByDate},
      {"8002", &Device::JeByReceipts},
      {"8003", &Device::JeByZ},
      {"8004", &Device::JeFromLine},
      {"8006", &Device::JeReceiptsOfZ},
      {"9100", &Device::BeginLogo},
      {"9101", &Device::LogoPiece},
      {"9102", &Device::EndLogo},
  };
  return table;
}

Answer Device::Execute(const std::string& text) {
  const Command* best = nullptr;
  std::size_t bestLength = 0;
  for (const Command& command : Table()) {
    const std::string code = command.code;
    if (code.size() > bestLength && text.compare(0, code.size(), code) == 0) {
      best = &command;
      bestLength = code.size();
    }
  }
  if (best == nullptr) return Answer::Err(ecr_error::kInternalCode);
  const std::string args = text.substr(bestLength);
  FieldReader fields(args);
  RefreshExport();
  return (this->*(best->handler))(fields);
}

std::string Device::StatusText() const {
  std::string s = kHealthyStatus;
  auto set = [&s](int position, bool condition, char value) {
    if (condition) s[static_cast<std::size_t>(position - 1)] = value;
  };
  set(2, conditions_.paperOut, '1');
  set(3, conditions_.paperNearEnd, '1');
  set(4, conditions_.coverOpen, '0');
  set(5, conditions_.cutterError, '1');
  set(7, conditions_.mfAbsent, '0');
  set(8, conditions_.notFiscalized, '0');
  set(9, conditions_.mfFull, '1');
  set(10, conditions_.jeAbsent, '0');
  set(12, conditions_.jeFull || jeFreeLines_ <= 0, '1');
  set(13, conditions_.displayAbsent, '0');
  set(14, conditions_.jeAlmostFull || (jeFreeLines_ > 0 && jeFreeLines_ < 1000), '1');
  set(15, receipt_.Open(), '1');
  set(17, nonFiscalOpen_, '1');
  for (const auto& [position, value] : conditions_.statusOverride) {
    if (position >= 1 && position <= 20) s[static_cast<std::size_t>(position - 1)] = value;
  }
  return s;
}

int Device::PrinterFault() const {
  if (conditions_.coverOpen) return ecr_error::kCoverOpen;
  if (conditions_.paperOut) return ecr_error::kPaperOut;
  return 0;
}

int Device::FiscalMemoryFault() const {
  if (conditions_.mfAbsent) return ecr_error::kMfAbsent;
  if (conditions_.mfFull) return ecr_error::kMfFull;
  if (conditions_.jeAbsent) return ecr_error::kJeAbsent;
  if (conditions_.jeFull || jeFreeLines_ <= 0) return ecr_error::kJeFull;
  return 0;
}

void Device::UseJournalLines(std::int64_t lines) {
  jeLineNumber_ += lines;
  jeFreeLines_ = jeFreeLines_ > lines ? jeFreeLines_ - lines : 0;
}

// Everything printed inside a document is also written to the electronic journal.
void Device::Print(const std::string& line) {
  paper_.Line(line);
  UseJournalLines(1);
}

void Device::PrintColumns(const std::string& left, const std::string& right) {
  const std::size_t before = paper_.PrintedLines();
  paper_.Columns(left, right);
  UseJournalLines(static_cast<std::int64_t>(paper_.PrintedLines() - before));
}

void Device::PrintHeader() {
  paper_.Separator();
  for (const std::string& line : config_.header) paper_.Centered(line);
  paper_.Separator();
  UseJournalLines(static_cast<std::int64_t>(config_.header.size()) + 2);
}

void Device::PrintFooter(const std::string& document) {
  paper_.Separator();
  PrintColumns(document, "Z: " + PadNumber(lastZNumber_ + 1, 4));
  PrintColumns(DateText(DeviceTime()), "OP: " + PadNumber(operator_, 2));
  paper_.Centered(conditions_.notFiscalized ? "NEFISCAL" : config_.fiscalSeries);
  UseJournalLines(2);
}

ruvo::LocalDateTime Device::DeviceTime() const {
  return FromEpochMs(ToEpochMs(clock_.Now()) + clockOffsetMs_);
}

std::int64_t ToEpochMs(const ruvo::LocalDateTime& dt) { return ruvo::CivilToMs(dt); }

ruvo::LocalDateTime FromEpochMs(std::int64_t ms) { return ruvo::CivilFromMs(ms); }

bool ValidDate(int day, int month, int year) { return ruvo::IsValidDate(day, month, year); }

std::string DateText(const ruvo::LocalDateTime& dt) {
  return PadNumber(dt.day, 2) + "-" + PadNumber(dt.month, 2) + "-" + PadNumber(dt.year, 4) + " " +
         PadNumber(dt.hour, 2) + ":" + PadNumber(dt.minute, 2);
}

}  // namespace xruvo_sim
