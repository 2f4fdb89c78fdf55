// libFuzzer target for the conversion of receipt files written for the older driver.
//
// Input: the receipt file (lines ended by CR LF, LF or CR); after the first NUL byte the
// settings, one "key=value" per line: "Cuvinte" goes to "ConversieStornoAvans", every
// other key to "ConversieUM".
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ReceiptFuzzInput.h"
#include "receipt/Fields.h"
#include "receipt/LegacyConversion.h"

namespace {

bool StartsWith(const std::string& text, std::string_view prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// What one converted line must look like, by the legacy line's code.
void CheckLine(const std::string& line, const std::string& converted) {
  const ruvo::Fields fields = ruvo::SplitFields(line);
  const std::string code = fields.empty() ? std::string() : fields[0];
  if (code == "1") {
    if (!StartsWith(converted, "1;") && !StartsWith(converted, "7;1;1;1;0;")) __builtin_trap();
  } else if (code == "16") {
    if (!StartsWith(converted, "16;")) __builtin_trap();
  } else if (code == "25") {
    if (!StartsWith(converted, "25;P;") && !StartsWith(converted, "25;D;")) __builtin_trap();
  } else if (code == "5") {
    if (!StartsWith(converted, "5;")) __builtin_trap();
  } else if (code == "12") {
    if (converted != line && !StartsWith(converted, "11;B;")) __builtin_trap();
  } else if (converted != line) {
    __builtin_trap();  // every other line is kept as it is
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto [lines, settings] = ruvo::fuzz::SplitInput(data, size);

  std::size_t nonEmpty = 0;
  for (const std::string& line : lines) {
    if (line.empty()) continue;
    ++nonEmpty;
    CheckLine(line, ruvo::ConvertLegacyLine(line, settings));
  }
  const std::vector<std::string> converted = ruvo::ConvertLegacyLines(lines, settings);
  // Each line gives one line, an advance reversal two; empty lines are dropped.
  if (converted.size() < nonEmpty || converted.size() > 2 * nonEmpty) __builtin_trap();
  for (const std::string& line : converted) {
    if (line.empty() || line.find('\r') != std::string::npos) __builtin_trap();
  }
  if (ruvo::ConvertUnit("", settings.unitConversions) != "UM") __builtin_trap();
  return 0;
}
