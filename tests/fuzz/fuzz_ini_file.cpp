// libFuzzer target for the INI reader and writer: a settings file survives a load and a
// save byte for byte, and a key written is read back without disturbing the others.
//
// Input: the file's bytes; after the first NUL byte, a section, a key and a value
// separated by NUL bytes, to be written into the file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzParts.h"
#include "platform/IniFile.h"

namespace {

using ruvo::fuzz::SplitAtNul;

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Names and values that read back as written: one line, no blanks around them, nothing
// that makes a line a comment or a section, no "=" in a name, no "]" in a section.
bool Writable(const std::string& text, bool name, std::string_view forbidden) {
  if (text.empty()) return !name;
  if (IsBlank(text.front()) || IsBlank(text.back())) return false;
  if (name && (text.front() == ';' || text.front() == '#' || text.front() == '[')) return false;
  for (const char c : text) {
    if (c == '\r' || c == '\n' || forbidden.find(c) != std::string_view::npos) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> parts =
      SplitAtNul(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string& text = parts[0];

  ruvo::IniFile ini;
  ini.Parse(text);
  if (ini.Text() != text) __builtin_trap();  // loading and saving keeps every byte

  if (parts.size() < 4) return 0;
  const std::string& section = parts[1];
  const std::string& key = parts[2];
  // A value cannot hold a line end: the writer drops them rather than split the line.
  std::string value;
  for (const char c : parts[3]) {
    if (c != '\r' && c != '\n') value += c;
  }
  if (!Writable(section, true, "]") || !Writable(key, true, "=") || !Writable(value, false, "")) {
    return 0;
  }
  const auto othersBefore = ini.SectionValues("Porturi");
  ini.WriteString(section, key, parts[3]);

  ruvo::IniFile reread;
  reread.Parse(ini.Text());
  if (reread.Text() != ini.Text()) __builtin_trap();
  if (reread.ReadString(section, key, value + "?") != value) __builtin_trap();
  // A write into another section leaves the port mapping as it was.
  if (!SameName(section, "Porturi") && reread.SectionValues("Porturi") != othersBefore) {
    __builtin_trap();
  }
  return 0;
}
