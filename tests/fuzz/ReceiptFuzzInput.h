#pragma once

// The input of the receipt file targets: the file (lines ended by CR LF, LF or CR); after
// the first NUL byte the settings, one "key=value" per line: the key "Cuvinte" goes to
// the section "ConversieStornoAvans", every other key to "ConversieUM".
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "receipt/LegacyConversion.h"

namespace ruvo::fuzz {

inline std::vector<std::string> SplitLines(std::string_view text) {
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

inline LegacyConversionSettings ParseSettings(std::string_view text) {
  LegacyConversionSettings settings;
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

struct ReceiptFuzzInput {
  std::vector<std::string> lines;
  LegacyConversionSettings settings;
};

inline ReceiptFuzzInput SplitInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  return {SplitLines(input.substr(0, nul)),
          ParseSettings(nul == std::string_view::npos ? std::string_view()
                                                      : input.substr(nul + 1))};
}

}  // namespace ruvo::fuzz
