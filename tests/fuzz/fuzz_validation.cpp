// libFuzzer target for the validation pass and the legacy conversion.
//
// Input: a receipt file as the sales application writes it (lines ended by CR LF, LF
// or CR). Anything after the first NUL byte is settings, one "key=value" per line: the
// key "Cuvinte" goes to the section "ConversieStornoAvans", every other key to
// "ConversieUM". Each input is validated as it is, then converted from the legacy
// syntax and validated again, as if the ECR did not answer on odd sizes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ReceiptFuzzInput.h"
#include "platform/AmountText.h"
#include "receipt/LegacyConversion.h"
#include "receipt/ReceiptValidator.h"

namespace {

void CheckInvariants(const std::vector<std::string>& lines, const ruvo::ValidationResult& result) {
  if (result.ok != result.errorText.empty()) __builtin_trap();
  if (result.fields.size() != lines.size()) __builtin_trap();
  if (result.countedLines < 0 || static_cast<std::size_t>(result.countedLines) > lines.size()) {
    __builtin_trap();
  }
  if (result.port && *result.port == 0) __builtin_trap();  // 0 means the first port
}

// The one amount rule on a line, as the window, ctl and HTTP read it ("." or ",") and as
// the receipt fields do (whole hundredths): what it takes is within its bounds and written
// back as money reads back the same; nothing is rounded.
void CheckAmount(const std::string& text) {
  for (const char separator : {'.', ',', '\0'}) {
    for (const bool positive : {true, false}) {
      ruvo::AmountRule rule;
      rule.separator = separator;
      rule.positive = positive;
      const ruvo::AmountReading reading = ruvo::ReadAmount(text, rule);
      if (!reading.Ok()) continue;
      if (reading.hundredths < (positive ? 1 : 0) || reading.hundredths > rule.largestHundredths) {
        __builtin_trap();
      }
      std::string written = std::to_string(reading.hundredths);
      if (separator != 0) {
        const std::string cents = std::to_string(100 + reading.hundredths % 100).substr(1);
        written = std::to_string(reading.hundredths / 100) + separator + cents;
      }
      if (ruvo::ReadAmount(written, rule).hundredths != reading.hundredths) __builtin_trap();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto [lines, settings] = ruvo::fuzz::SplitInput(data, size);
  if (!lines.empty()) CheckAmount(lines.front());

  const ruvo::ValidationResult plain = ruvo::ValidateReceiptLines(lines, {true});
  CheckInvariants(lines, plain);

  const std::vector<std::string> converted = ruvo::ConvertLegacyLines(lines, settings);
  for (const std::string& line : converted) {
    if (line.empty()) __builtin_trap();  // the conversion drops empty lines
  }
  const ruvo::ValidationResult legacy = ruvo::ValidateReceiptLines(converted, {(size & 1) == 0});
  CheckInvariants(converted, legacy);
  return 0;
}
