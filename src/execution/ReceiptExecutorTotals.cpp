#include "execution/ReceiptExecutorTotals.h"

#include <array>
#include <cstddef>

namespace ruvo {

namespace {

struct TotalsField {
  const char* label;
  std::size_t position;
  std::size_t length;
};

constexpr std::size_t kLabelWidth = 30;

constexpr std::array<TotalsField, 32> kTotalsFields{{
    {"Numar Bonuri Fiscale efectuate", 0, 4},
    {"Total zilnic", 4, 9},
    {"Total net TVA A", 13, 9},
    {"Total TVA A", 22, 9},
    {"Total net TVA B", 31, 9},
    {"Total TVA B", 40, 9},
    {"Total net TVA C", 49, 9},
    {"Total TVA C", 58, 9},
    {"Total net TVA D", 67, 9},
    {"Total TVA D", 76, 9},
    {"Total net TVA E", 85, 9},
    {"Total TVA E", 94, 9},
    {"Total net TVA F", 103, 9},
    {"Total TVA F", 112, 9},
    {"Total net TVA G", 121, 9},
    {"Total TVA G", 130, 9},
    {"Total net TVA H", 139, 9},
    {"Total TVA H", 148, 9},
    {"Numerar in sertar", 157, 9},
    {"Total sume neplatite", 166, 9},
    {"Numar Sume Retrase", 175, 4},
    {"Total Sume Retrase", 179, 9},
    {"Numar Sold Initial", 188, 4},
    {"Total Sold Initial", 192, 9},
    {"Numar Bonuri Anulate", 201, 4},
    {"Total Bonuri Anulate", 205, 9},
    {"Numar corectii", 214, 4},
    {"Total Corectii", 218, 9},
    {"Numar Discount-uri", 227, 4},
    {"Total Discount-uri", 231, 9},
    {"Numar Adaosuri", 240, 4},
    {"Total Adaosuri", 244, 9},
}};

std::string Labelled(const char* label, const std::string& value) {
  std::string line = label;
  if (line.size() < kLabelWidth) line.append(kLabelWidth - line.size(), ' ');
  return line + "\t" + value;
}

}  // namespace

std::vector<std::string> DailyTotalsLines(const std::string& block) {
  const bool whole = block.size() == 253 && block.find('\0') == std::string::npos;
  std::vector<std::string> lines;
  for (const TotalsField& field : kTotalsFields) {
    lines.push_back(Labelled(field.label, whole ? block.substr(field.position, field.length) : ""));
  }
  return lines;
}

std::optional<std::string> TotalizerLine(int number, const std::string& value) {
  if (number < 1 || number > static_cast<int>(kTotalsFields.size())) return std::nullopt;
  return Labelled(kTotalsFields[static_cast<std::size_t>(number - 1)].label, value);
}

}  // namespace ruvo
