#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace ruvo::testing {

// Whole files as bytes, for tests that lay out or inspect a working folder.
inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace ruvo::testing
