// Validation of large receipt files: the pass must stay linear in the number of lines.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "receipt/LegacyConversion.h"
#include "receipt/ReceiptValidator.h"

namespace {

// A sale receipt of `lineCount` lines: articles (every article its own name, so the
// net-quantity table grows with the file), some returns, discounts on the line before,
// texts, empty lines, and the payment at the end.
std::vector<std::string> MakeReceipt(std::int64_t lineCount) {
  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(lineCount));
  lines.push_back("31;7");
  for (std::int64_t i = 1; lines.size() + 1 < static_cast<std::size_t>(lineCount); ++i) {
    const std::string name = "ARTICOL NR " + std::to_string(i);
    switch (i % 8) {
      case 0:
        lines.push_back("7;0;0;1;1000");
        break;
      case 1:
        lines.push_back("2;1;Oferta saptamanii " + std::to_string(i));
        break;
      case 2:
        lines.push_back("");
        break;
      case 3:
        lines.push_back("16;1;0;5;5941234567890");
        break;
      case 4:
        lines.push_back("1;" + name + ";BUC;1;1;1250;300000;;+");
        break;
      // A third of the article sold on the line before comes back.
      case 5:
        lines.push_back("1;ARTICOL NR " + std::to_string(i - 1) + ";BUC;1;1;1250;100000;3;-");
        break;
      default:
        lines.push_back("1;" + name + ";KG;12;2;899;1500;1");
        break;
    }
  }
  lines.push_back("5;1000000;1");
  return lines;
}

void BM_ValidateReceipt(benchmark::State& state) {
  const std::vector<std::string> lines = MakeReceipt(state.range(0));
  for (auto _ : state) {
    ruvo::ValidationResult result = ruvo::ValidateReceiptLines(lines, {});
    if (!result.ok) state.SkipWithError(result.errorText.c_str());
    benchmark::DoNotOptimize(result);
  }
  state.SetComplexityN(state.range(0));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ValidateReceipt)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_ConvertLegacyReceipt(benchmark::State& state) {
  std::vector<std::string> lines;
  for (std::int64_t i = 0; i < state.range(0); ++i) {
    lines.push_back(i % 4 == 3 ? "1;STORNO AVANS " + std::to_string(i) + ";x;1;1;5000;1000;;;-"
                               : "1;ARTICOL " + std::to_string(i) + ";x;2;1;350;1500");
  }
  ruvo::LegacyConversionSettings settings;
  settings.unitConversions = {{"1", "BUC"}, {"2", "KG"}};
  for (auto _ : state) benchmark::DoNotOptimize(ruvo::ConvertLegacyLines(lines, settings));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ConvertLegacyReceipt)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
