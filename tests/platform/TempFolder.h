#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace ruvo::testing {

// A fresh folder under /tmp, removed with everything in it when the test ends.
class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/ruvo-platform-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    path_ = made != nullptr ? made : "";
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace ruvo::testing
