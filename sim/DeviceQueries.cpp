// Queries and small settings: they change no document and print nothing.
#include "Device.h"

namespace xruvo_sim {

Answer Device::SwitchOver(FieldReader&) { return Answer::Ok(); }

Answer Device::DailyTotalsBlock(FieldReader&) { return Answer::Ok(totals_.Block()); }

Answer Device::FiscalSeries(FieldReader&) { return Answer::Ok(config_.fiscalSeries); }

// Not busy; the engine answers this itself while a long command runs.
Answer Device::Poll(FieldReader&) { return Answer::Ok("00000000000"); }

Answer Device::ReceiptStateQuery(FieldReader&) {
  return Answer::Ok(std::string(1, static_cast<char>(receipt_.state)));
}

Answer Device::ExtendedErrorQuery(FieldReader&) {
  return Answer::Ok("ERR" + PadNumber(extendedError_, 3));
}

// Character 1: an export is being prepared; 2: a document is open; 3 to 6: the export's
// state, so that "00000" leads the answer once the archive is ready.
Answer Device::DocumentState(FieldReader&) {
  const bool documentOpen = receipt_.Open() || nonFiscalOpen_;
  switch (export_.phase) {
    case ExportState::Phase::kPreparing:
      return Answer::Ok(std::string("1") + (documentOpen ? "1" : "0") + "0000");
    case ExportState::Phase::kReady:
      return Answer::Ok("000001");
    case ExportState::Phase::kNone:
      break;
  }
  return Answer::Ok(std::string("0") + (documentOpen ? "1" : "0") + "0000");
}

Answer Device::LastReceipt(FieldReader&) {
  const int number = receipt_.Open() ? receipt_.number : lastReceiptNumber_;
  return Answer::Ok(std::string(1, static_cast<char>(receipt_.state)) + PadNumber(number, 4));
}

Answer Device::Totalizer(FieldReader& f) {
  std::int64_t n = 0;
  if (!f.Number(2, n) || !f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
  if (n > 32) return Answer::Err(ecr_error::kInvalidValue);
  return Answer::Ok(totals_.Field(static_cast<int>(n)));
}

Answer Device::Status(FieldReader&) { return Answer::Ok(StatusText()); }

// Position 2 is the printer error the driver checks after the operator says it is gone.
Answer Device::PrinterState(FieldReader&) {
  std::string s = "00000000";
  if (conditions_.paperOut || conditions_.coverOpen) s[1] = '1';
  if (conditions_.paperNearEnd) s[2] = '1';
  if (conditions_.cutterError) s[3] = '1';
  if (conditions_.coverOpen) s[4] = '1';
  return Answer::Ok(s);
}

Answer Device::SetDateTime(FieldReader& f) {
  std::int64_t day = 0, month = 0, year = 0, hour = 0, minute = 0;
  if (!f.Number(2, day) || !f.Number(2, month) || !f.Number(2, year) || !f.Number(2, hour) ||
      !f.Number(2, minute) || !f.AtEnd())
    return Answer::Err(ecr_error::kBadLength);
  if (!ValidDate(static_cast<int>(day), static_cast<int>(month), static_cast<int>(2000 + year)) ||
      hour > 23 || minute > 59)
    return Answer::Err(ecr_error::kBadDateTime);
  if (receipt_.Open() || nonFiscalOpen_) return Answer::Err(ecr_error::kDocumentOpen);
  ruvo::LocalDateTime wanted;
  wanted.year = static_cast<int>(2000 + year);
  wanted.month = static_cast<int>(month);
  wanted.day = static_cast<int>(day);
  wanted.hour = static_cast<int>(hour);
  wanted.minute = static_cast<int>(minute);
  clockOffsetMs_ = ToEpochMs(wanted) - ToEpochMs(clock_.Now());
  return Answer::Ok("0");
}

// The day's total and the gross of each VAT group, 9 characters each.
Answer Device::Totalizers(FieldReader&) {
  std::string out = totals_.Field(2);
  for (int g = 0; g < kVatGroups; ++g) {
    const auto i = static_cast<std::size_t>(g);
    out += PadNumber(totals_.net[i] + totals_.vat[i], 9);
  }
  return Answer::Ok(out);
}

Answer Device::Beep(FieldReader& f) {
  int beeps = 0, tone = 0;
  if (!f.Digit(beeps) || !f.Digit(tone) || !f.AtEnd()) return Answer::Err(ecr_error::kBadLength);
  return Answer::Ok();
}

// The customer display; on an open fiscal receipt the text is printed as well.
Answer Device::Display(FieldReader& f) {
  if (f.Remaining() > 40) return Answer::Err(ecr_error::kBadLength);
  display_ = f.Rest();
  if (receipt_.Open()) {
    if (const int fault = PrinterFault()) return Answer::Err(fault);
    const auto last = display_.find_last_not_of(' ');
    Print(last == std::string::npos ? std::string() : display_.substr(0, last + 1));
  }
  return Answer::Ok();
}

}  // namespace xruvo_sim
