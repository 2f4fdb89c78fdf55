// libFuzzer target for the journal reader: any bytes are either a journal read whole or
// damaged, never a crash and never a record that is not what the driver wrote.
//
// Input: the journal file's bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/InFlightJournal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<ruvo::InFlightRecord> records;
  std::vector<ruvo::ExecutedFile> executed;
  if (!ruvo::ParseJournal(text, records, executed)) {
    // Damaged: nothing read.
    if (!records.empty() || !executed.empty()) __builtin_trap();
    return 0;
  }
  // What was read is written back and read again as the same.
  const std::string written = ruvo::FormatJournal(records, executed);
  std::vector<ruvo::InFlightRecord> again;
  std::vector<ruvo::ExecutedFile> againExecuted;
  if (!ruvo::ParseJournal(written, again, againExecuted)) __builtin_trap();
  if (ruvo::FormatJournal(again, againExecuted) != written) __builtin_trap();
  // The current layout is checked line by line and whole: only the driver's own text of
  // these records passes.
  if (text.rfind("RUVODRV JURNAL 4\n", 0) == 0 && written != text) __builtin_trap();
  for (const ruvo::InFlightRecord& r : records) {
    if (r.phase == ruvo::RunPhase::Answered && !r.answer) __builtin_trap();
    if (r.mark && (r.mark->lastNumber < 0 || r.mark->lastNumber > 9999)) __builtin_trap();
  }
  return 0;
}
