// libFuzzer target for the validation pass and the legacy conversion.
//
// Input: a receipt file as the sales application writes it (lines ended by CR LF, LF
// or CR). Anything after the first NUL byte is settings, one "key=value" per line: the
// key "Cuvinte" goes to the section "ConversieStornoAvans", every other key to
// "ConversieUM". Each input is validated as it is, then converted from the legacy
// syntax and validated again with the other decimal separator.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "receipt/LegacyConversion.h"
#include "receipt/ReceiptValidator.h"

namespace {

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

ruvo::LegacyConversionSettings ParseSettings(std::string_view text) {
  ruvo::LegacyConversionSettings settings;
  for (const std::string& line : SplitLines(text)) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::pair<std::string, std::string> entry{line.substr(0, equals), line.substr(equals + 1)};
    if (entry.first == "Cuvinte") {
      settings.advanceReversal.push_back(std::move(entry));
    } else {
      settings.unitConversions.push_back(std::move(entry));
    }
  }
  return settings;
}

void CheckInvariants(const std::vector<std::string>& lines, const ruvo::ValidationResult& result) {
  if (result.ok != result.errorText.empty()) __builtin_trap();
  if (result.fields.size() != lines.size()) __builtin_trap();
  if (result.countedLines < 0 || static_cast<std::size_t>(result.countedLines) > lines.size()) {
    __builtin_trap();
  }
  if (result.port && *result.port == 0) __builtin_trap();  // 0 means the first port
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  const std::vector<std::string> lines = SplitLines(input.substr(0, nul));
  const ruvo::LegacyConversionSettings settings =
      ParseSettings(nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1));

  const ruvo::ValidationResult plain = ruvo::ValidateReceiptLines(lines, {true, '.'});
  CheckInvariants(lines, plain);

  const std::vector<std::string> converted = ruvo::ConvertLegacyLines(lines, settings);
  for (const std::string& line : converted) {
    if (line.empty()) __builtin_trap();  // the conversion drops empty lines
  }
  const ruvo::ValidationResult legacy =
      ruvo::ValidateReceiptLines(converted, {(size & 1) == 0, ','});
  CheckInvariants(converted, legacy);
  return 0;
}
