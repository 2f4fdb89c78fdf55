#pragma once

// Targets whose input holds several parts take them apart at the NUL bytes.
#include <string>
#include <string_view>
#include <vector>

namespace ruvo::fuzz {

// The parts between NUL bytes; one part (the whole input) when there is none.
inline std::vector<std::string> SplitAtNul(std::string_view text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t nul; (nul = text.find('\0', start)) != std::string_view::npos; start = nul + 1) {
    parts.emplace_back(text.substr(start, nul - start));
  }
  parts.emplace_back(text.substr(start));
  return parts;
}

}  // namespace ruvo::fuzz
