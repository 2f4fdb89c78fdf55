// The example receipt files of the project: each one is what a sales application would
// drop, and each passes the driver's checks, so that copying one into demo/ runs it.
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "E2eFiles.h"
#include "platform/Files.h"
#include "receipt/ReceiptValidator.h"

namespace ruvo::e2e {
namespace {

std::vector<std::string> ExampleReceiptFiles() {
  std::vector<std::string> found;
  const std::filesystem::path folder = std::filesystem::path(RUVO_SOURCE_DIR) / "examples";
  std::error_code error;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
    std::string name = entry.path().filename().string();
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (entry.is_regular_file() && name.rfind("ONLINE", 0) == 0 && name.ends_with(".TXT"))
      found.push_back(entry.path().string());
  }
  return found;
}

TEST(ExampleFiles, EveryExampleIsAValidReceiptFileWithCrLfLines) {
  const std::vector<std::string> examples = ExampleReceiptFiles();
  EXPECT_GE(examples.size(), 6u) << "examples/ lost its receipt files";
  ValidationOptions options;
  for (const std::string& path : examples) {
    SCOPED_TRACE(path);
    const std::string bytes = ReadBytes(path);
    ASSERT_FALSE(bytes.empty());
    EXPECT_TRUE(bytes.ends_with("\r\n"));
    EXPECT_EQ(CountOf(bytes, "\n"), CountOf(bytes, "\r\n")) << "a line without its CR";
    const ValidationResult result = ValidateReceiptLines(SplitLines(bytes), options);
    EXPECT_TRUE(result.ok) << result.errorText;
  }
}

}  // namespace
}  // namespace ruvo::e2e
