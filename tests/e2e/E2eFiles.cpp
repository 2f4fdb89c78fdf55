#include "E2eFiles.h"

#include <sys/stat.h>

namespace ruvo::e2e {

bool PathExists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

std::string ReceiptText(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

int CountOf(const std::string& text, const std::string& needle) {
  if (needle.empty()) return 0;
  int count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + needle.size()))
    ++count;
  return count;
}

}  // namespace ruvo::e2e
