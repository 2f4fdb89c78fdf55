// Daily, typed, fiscal memory (MF) and electronic journal (JE) reports.
#include "Device.h"

namespace xruvo_sim {

namespace {

constexpr std::int64_t kDayMs = 24LL * 60 * 60 * 1000;

bool ReadDate(FieldReader& f, std::int64_t& ms) {
  std::int64_t day = 0, month = 0, year = 0;
  if (!f.Number(2, day) || !f.Number(2, month) || !f.Number(2, year)) return false;
  if (!ValidDate(static_cast<int>(day), static_cast<int>(month), static_cast<int>(2000 + year)))
    return false;
  ruvo::LocalDateTime dt;
  dt.year = static_cast<int>(2000 + year);
  dt.month = static_cast<int>(month);
  dt.day = static_cast<int>(day);
  ms = ToEpochMs(dt);
  return true;
}

// Two dates, day, month and two-digit year each: the whole days from the first to the
// second, end included.
Answer ReadPeriod(FieldReader& f, std::int64_t& fromMs, std::int64_t& toMs) {
  if (f.Remaining() != 12) return Answer::Err(ecr_error::kBadLength);
  if (!ReadDate(f, fromMs) || !ReadDate(f, toMs)) return Answer::Err(ecr_error::kBadDateTime);
  toMs += kDayMs - 1;
  if (fromMs > toMs) return Answer::Err(ecr_error::kBadDateTime);
  return Answer::Ok();
}

}  // namespace

int Device::ReportFault(bool allowJeFull) const {
  if (receipt_.Open() || nonFiscalOpen_) return ecr_error::kDocumentOpen;
  if (conditions_.mfAbsent) return ecr_error::kMfAbsent;
  if (conditions_.mfFull) return ecr_error::kMfFull;
  if (conditions_.jeAbsent) return ecr_error::kJeAbsent;
  if (!allowJeFull && (conditions_.jeFull || jeFreeLines_ <= 0)) return ecr_error::kJeFull;
  return PrinterFault();
}

void Device::PrintTotalsSection() {
  PrintColumns("BONURI FISCALE", std::to_string(totals_.receipts));
  PrintColumns("TOTAL ZILNIC", MoneyText(totals_.total));
  for (int g = 0; g < kVatGroups; ++g) {
    const auto i = static_cast<std::size_t>(g);
    if (totals_.net[i] == 0 && totals_.vat[i] == 0) continue;
    PrintColumns("NET " + std::string(1, VatLetter(g)), MoneyText(totals_.net[i]));
    PrintColumns("TVA " + std::string(1, VatLetter(g)) + " " + MoneyText(VatRate(g)) + "%",
                 MoneyText(totals_.vat[i]));
  }
  PrintColumns("NUMERAR IN SERTAR", MoneyText(totals_.drawerCash));
  PrintColumns("BONURI ANULATE " + std::to_string(totals_.cancelled),
               MoneyText(totals_.cancelledTotal));
  PrintColumns("DISCOUNT-URI " + std::to_string(totals_.discounts),
               MoneyText(totals_.discountTotal));
  PrintColumns("ADAOSURI " + std::to_string(totals_.markups), MoneyText(totals_.markupTotal));
}

Answer Device::FinishReport(const std::string& title) {
  PrintFooter(title);
  paper_.Cut();
  return Answer::Ok().Working(config_.reportMs);
}

Answer Device::ZReport(FieldReader& f) {
  if (!f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
  if (const int fault = ReportFault(true)) return Answer::Err(fault);
  const int number = lastZNumber_ + 1;
  PrintHeader();
  paper_.Centered("RAPORT FISCAL Z");
  paper_.Centered("Z NR. " + PadNumber(number, 4));
  PrintTotalsSection();
  zHistory_.push_back(ZRecord{number, DeviceTime(), totals_.total, totals_.receipts});
  PrintFooter("RAPORT Z");
  paper_.Cut();
  lastZNumber_ = number;
  totals_ = DailyTotals{};
  departments_.clear();
  lastReceiptNumber_ = 0;
  lastZAtMs_ = ToEpochMs(DeviceTime());
  conditions_.zDue = false;
  return Answer::Ok().Working(config_.reportMs);
}

Answer Device::XReport(FieldReader& f) {
  if (!f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
  if (const int fault = ReportFault(true)) return Answer::Err(fault);
  PrintHeader();
  paper_.Centered("RAPORT X");
  PrintTotalsSection();
  return FinishReport("RAPORT X");
}

Answer Device::DepartmentReport(FieldReader& f) {
  if (!f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
  if (const int fault = ReportFault(true)) return Answer::Err(fault);
  PrintHeader();
  paper_.Centered("RAPORT DEPARTAMENTE");
  for (const auto& [department, total] : departments_)
    PrintColumns("DEP. " + PadNumber(department, 3), MoneyText(total));
  if (departments_.empty()) Print("FARA VANZARI");
  return FinishReport("RAPORT DEPARTAMENTE");
}

// The long reports: a lone ACK now, and the rest once the ECR has printed them.
Answer Device::TypedReport(FieldReader& f) {
  std::int64_t type = 0;
  if (!f.Number(2, type) || !f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
  if (type < 1 || type > 14) return Answer::Err(ecr_error::kInvalidValue);
  if (const int fault = ReportFault(true)) return Answer::Err(fault);
  PrintHeader();
  paper_.Centered("RAPORT TIP " + PadNumber(type, 2));
  PrintTotalsSection();
  PrintFooter("RAPORT TIP " + PadNumber(type, 2));
  paper_.Cut();
  return Answer::Ok().Working(config_.typedReportMs, true);
}

void Device::PrintZRecords(int firstZ, int lastZ, std::int64_t fromMs, std::int64_t toMs) {
  int shown = 0;
  for (const ZRecord& z : zHistory_) {
    const std::int64_t at = ToEpochMs(z.date);
    if (z.number < firstZ || z.number > lastZ || at < fromMs || at > toMs) continue;
    PrintColumns("Z " + PadNumber(z.number, 4) + " " + DateText(z.date), MoneyText(z.total));
    ++shown;
  }
  if (shown == 0) Print("NU EXISTA RAPOARTE Z");
}

Answer Device::MfByNumber(FieldReader& f) {
  std::int64_t first = 0, last = 0;
  if (!f.Number(4, first) || !f.Number(4, last) || !f.AtEnd())
    return Answer::Err(ecr_error::kBadLength);
  if (first > last) return Answer::Err(ecr_error::kInvalidValue);
  if (const int fault = ReportFault(true)) return Answer::Err(fault);
  PrintHeader();
  paper_.Centered("RAPORT MF Z " + PadNumber(first, 4) + "-" + PadNumber(last, 4));
  PrintZRecords(static_cast<int>(first), static_cast<int>(last), INT64_MIN, INT64_MAX);
  return FinishReport("RAPORT MF");
}

Answer Device::MfByDate(FieldReader& f) {
  std::int64_t fromMs = 0, toMs = 0;
  const Answer period = ReadPeriod(f, fromMs, toMs);
  if (period.kind == Answer::Kind::Error) return period;
  if (const int fault = ReportFault(true)) return Answer::Err(fault);
  PrintHeader();
  paper_.Centered("RAPORT MF PE PERIOADA");
  PrintColumns(DateText(FromEpochMs(fromMs)).substr(0, 10),
               DateText(FromEpochMs(toMs)).substr(0, 10));
  PrintZRecords(0, 9999, fromMs, toMs);
  return FinishReport("RAPORT MF");
}

Answer Device::MfAll(FieldReader& f) {
  if (!f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
  if (const int fault = ReportFault(true)) return Answer::Err(fault);
  PrintHeader();
  paper_.Centered("RAPORT MF COMPLET");
  PrintZRecords(0, 9999, INT64_MIN, INT64_MAX);
  return FinishReport("RAPORT MF");
}

// The engine stops a report still printing before it gets here; alone it has nothing to do.
Answer Device::StopReportCommand(FieldReader& f) {
  if (!f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
  return Answer::Ok();
}

void Device::StopReport() {
  paper_.Centered("RAPORT INTRERUPT");
  paper_.Cut();
}

void Device::PrintJournal(int z, int firstReceipt, int lastReceipt, std::int64_t fromMs,
                          std::int64_t toMs) {
  int shown = 0;
  for (const JournalEntry& e : journal_) {
    const std::int64_t at = ToEpochMs(e.date);
    if ((z > 0 && e.z != z) || e.receipt < firstReceipt || e.receipt > lastReceipt || at < fromMs ||
        at > toMs)
      continue;
    PrintColumns("Z " + PadNumber(e.z, 4) + " BON " + PadNumber(e.receipt, 4) +
                     (e.cancelled ? " ANULAT" : ""),
                 MoneyText(e.total));
    ++shown;
  }
  if (shown == 0) Print("NU EXISTA DOCUMENTE");
}

Answer Device::JeByDate(FieldReader& f) {
  std::int64_t fromMs = 0, toMs = 0;
  const Answer period = ReadPeriod(f, fromMs, toMs);
  if (period.kind == Answer::Kind::Error) return period;
  if (const int fault = ReportFault(true)) return Answer::Err(fault);
  PrintHeader();
  paper_.Centered("RAPORT JE PE PERIOADA");
  PrintJournal(0, 0, 9999, fromMs, toMs);
  return FinishReport("RAPORT JE");
}

Answer Device::JeByReceipts(FieldReader& f) {
  std::int64_t dayMs = 0, first = 0, last = 0;
  if (f.Remaining() != 14) return Answer::Err(ecr_error::kBadLength);
  if (!ReadDate(f, dayMs)) return Answer::Err(ecr_error::kBadDateTime);
  if (!f.Number(4, first) || !f.Number(4, last)) return Answer::Err(ecr_error::kBadLength);
  if (first > last) return Answer::Err(ecr_error::kInvalidValue);
  if (const int fault = ReportFault(true)) return Answer::Err(fault);
  PrintHeader();
  paper_.Centered("RAPORT JE BONURI " + PadNumber(first, 4) + "-" + PadNumber(last, 4));
  PrintJournal(0, static_cast<int>(first), static_cast<int>(last), dayMs, dayMs + kDayMs - 1);
  return FinishReport("RAPORT JE");
}

Answer Device::JeByZ(FieldReader& f) {
  std::int64_t first = 0, last = 0;
  if (!f.Number(4, first) || !f.Number(4, last) || !f.AtEnd())
    return Answer::Err(ecr_error::kBadLength);
  if (first > last) return Answer::Err(ecr_error::kInvalidValue);
  if (const int fault = ReportFault(true)) return Answer::Err(fault);
  PrintHeader();
  paper_.Centered("RAPORT JE Z " + PadNumber(first, 4) + "-" + PadNumber(last, 4));
  for (std::int64_t z = first; z <= last && z <= lastZNumber_ + 1; ++z)
    PrintJournal(static_cast<int>(z), 0, 9999, INT64_MIN, INT64_MAX);
  return FinishReport("RAPORT JE");
}

Answer Device::JeFromLine(FieldReader& f) {
  const std::string digits = f.Rest();
  if (digits.empty() || digits.size() > 18 ||
      digits.find_first_not_of("0123456789") != std::string::npos)
    return Answer::Err(ecr_error::kBadLength);
  const std::int64_t line = std::stoll(digits);
  if (line < 1 || line > jeLineNumber_) return Answer::Err(ecr_error::kInvalidValue);
  if (const int fault = ReportFault(true)) return Answer::Err(fault);
  PrintHeader();
  paper_.Centered("RAPORT JE DE LA LINIA " + std::to_string(line));
  PrintJournal(0, 0, 9999, INT64_MIN, INT64_MAX);
  return FinishReport("RAPORT JE");
}

// With all numbers zero this is the free-lines query: 40 digits, the free lines at
// 1-based positions 28 to 36. With numbers it prints the receipts of one Z and answers
// a one-line summary.
Answer Device::JeReceiptsOfZ(FieldReader& f) {
  std::int64_t z = 0, first = 0, last = 0;
  if (!f.Number(4, z) || !f.Number(4, first) || !f.Number(4, last) || !f.AtEnd())
    return Answer::Err(ecr_error::kBadLength);
  if (z == 0 && first == 0 && last == 0) {
    const std::int64_t used =
        config_.jeCapacity > jeFreeLines_ ? config_.jeCapacity - jeFreeLines_ : 0;
    return Answer::Ok(PadNumber(config_.jeCapacity, 9) + PadNumber(used, 9) +
                      PadNumber(jeLineNumber_ % 1000000000, 9) + PadNumber(jeFreeLines_, 9) +
                      PadNumber(lastZNumber_ + 1, 4));
  }
  if (first > last || z < 1) return Answer::Err(ecr_error::kInvalidValue);
  if (const int fault = ReportFault(true)) return Answer::Err(fault);
  PrintHeader();
  paper_.Centered("RAPORT JE Z " + PadNumber(z, 4));
  PrintJournal(static_cast<int>(z), static_cast<int>(first), static_cast<int>(last), INT64_MIN,
               INT64_MAX);
  int count = 0;
  std::int64_t sum = 0;
  for (const JournalEntry& e : journal_) {
    if (e.z != z || e.receipt < first || e.receipt > last || e.cancelled) continue;
    ++count;
    sum += e.total;
  }
  PrintFooter("RAPORT JE");
  paper_.Cut();
  return Answer::Ok("Z " + PadNumber(z, 4) + " BONURI " + PadNumber(first, 4) + "-" +
                    PadNumber(last, 4) + " NR " + std::to_string(count) + " TOTAL " +
                    MoneyText(sum))
      .Working(config_.reportMs);
}

}  // namespace xruvo_sim
