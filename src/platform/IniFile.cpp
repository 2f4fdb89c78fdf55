#include "platform/IniFile.h"

#include "platform/AtomicFile.h"
#include "platform/FileMask.h"
#include "platform/Files.h"
#include "platform/IntegerText.h"

namespace ruvo {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// A byte-order mark some editors put in front of the first line is not part of its text.
std::string WithoutBom(const std::string& text) {
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) return text.substr(3);
  return text;
}

// "[Name]" (blanks around allowed) gives Name.
std::optional<std::string> SectionName(const std::string& text) {
  const std::string trimmed = Trim(text);
  if (trimmed.size() < 2 || trimmed.front() != '[') return std::nullopt;
  const std::size_t close = trimmed.find(']');
  if (close == std::string::npos) return std::nullopt;
  return Trim(trimmed.substr(1, close - 1));
}

bool IsComment(const std::string& text) {
  const std::string trimmed = Trim(text);
  return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

// "key=value" gives key and value, both trimmed; the value is everything after the first "=".
std::optional<std::pair<std::string, std::string>> KeyValue(const std::string& text) {
  if (IsComment(text) || SectionName(text)) return std::nullopt;
  const std::size_t eq = text.find('=');
  if (eq == std::string::npos) return std::nullopt;
  std::string key = Trim(text.substr(0, eq));
  if (key.empty()) return std::nullopt;
  return std::make_pair(std::move(key), Trim(text.substr(eq + 1)));
}

}  // namespace

bool IniFile::Load(const std::string& path) {
  path_ = path;
  lines_.clear();
  if (!FileExists(path)) return true;
  const std::optional<std::string> bytes = ReadFileBytes(path);
  if (!bytes) return false;
  Parse(*bytes);
  return true;
}

void IniFile::Parse(const std::string& text) {
  lines_.clear();
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c != '\r' && c != '\n') {
      ++i;
      continue;
    }
    const std::size_t endStart = i;
    ++i;
    if (c == '\r' && i < text.size() && text[i] == '\n') ++i;
    lines_.push_back(
        Line{text.substr(start, endStart - start), text.substr(endStart, i - endStart)});
    start = i;
  }
  if (start < text.size()) lines_.push_back(Line{text.substr(start), std::string()});
}

std::string IniFile::Text() const {
  std::string text;
  for (const Line& line : lines_) text += line.text + line.end;
  return text;
}

bool IniFile::Save() const { return SaveAs(path_); }

bool IniFile::SaveAs(const std::string& path) const {
  if (path.empty()) return false;
  return WriteFileAtomic(path, Text());
}

bool IniFile::HasSection(const std::string& section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const auto name = SectionName(i == 0 ? WithoutBom(lines_[i].text) : lines_[i].text);
    if (name && EqualsIgnoreCase(*name, section)) return true;
  }
  return false;
}

bool IniFile::HasKey(const std::string& section, const std::string& key) const {
  return FindKey(section, key).has_value();
}

std::optional<std::size_t> IniFile::ForEachKeyIn(
    const std::string& section,
    const std::function<bool(std::size_t, std::pair<std::string, std::string>&)>& visit) const {
  bool inSection = false;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const std::string text = i == 0 ? WithoutBom(lines_[i].text) : lines_[i].text;
    if (const auto name = SectionName(text)) {
      inSection = EqualsIgnoreCase(*name, section);
      continue;
    }
    if (!inSection) continue;
    if (auto kv = KeyValue(text)) {
      if (!visit(i, *kv)) return i;
    }
  }
  return std::nullopt;
}

std::optional<std::size_t> IniFile::FindKey(const std::string& section,
                                            const std::string& key) const {
  return ForEachKeyIn(section, [&](std::size_t, std::pair<std::string, std::string>& kv) {
    return !EqualsIgnoreCase(kv.first, key);
  });
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
  const auto at = FindKey(section, key);
  if (!at) return defaultValue;
  const std::string text = *at == 0 ? WithoutBom(lines_[*at].text) : lines_[*at].text;
  return KeyValue(text)->second;
}

int IniFile::ReadInteger(const std::string& section, const std::string& key,
                         int defaultValue) const {
  if (!HasKey(section, key)) return defaultValue;
  return ParseInt32(Trim(ReadString(section, key))).value_or(defaultValue);
}

bool IniFile::ReadFlag(const std::string& section, const std::string& key) const {
  return HasKey(section, key) && ReadString(section, key) == "DA";
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  // Names that cannot be written back as one line would damage the file: refuse them.
  const auto unusable = [](const std::string& name, const std::string& forbidden) {
    return name.empty() || Trim(name) != name || name.find_first_of(forbidden) != std::string::npos;
  };
  if (unusable(section, "]\r\n") || unusable(key, "=\r\n") || key.front() == '[' ||
      key.front() == ';' || key.front() == '#') {
    return;
  }

  // A value cannot hold a line end: it would split the line and change other keys.
  std::string clean;
  for (char c : value) {
    if (c != '\r' && c != '\n') clean += c;
  }

  if (const auto at = FindKey(section, key)) {
    // Keep the key as the file spells it and whatever stood before the "=".
    std::string& text = lines_[*at].text;
    text = text.substr(0, text.find('=') + 1) + clean;
    return;
  }

  // A line without a line end must get one before anything follows it.
  const auto endLastLine = [this] {
    if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = "\r\n";
  };

  // Add the key after the last key line of the first section of that name.
  std::optional<std::size_t> sectionLine;
  std::optional<std::size_t> lastContent;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const std::string text = i == 0 ? WithoutBom(lines_[i].text) : lines_[i].text;
    if (const auto name = SectionName(text)) {
      if (sectionLine) break;
      if (EqualsIgnoreCase(*name, section)) {
        sectionLine = i;
        lastContent = i;
      }
      continue;
    }
    if (sectionLine && KeyValue(text)) lastContent = i;
  }
  const Line newLine{key + "=" + clean, "\r\n"};
  if (lastContent) {
    const std::size_t insertAt = *lastContent + 1;
    if (insertAt == lines_.size()) {
      endLastLine();
      lines_.push_back(newLine);
    } else {
      lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), newLine);
    }
    return;
  }
  endLastLine();
  if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back(Line{"", "\r\n"});
  lines_.push_back(Line{"[" + section + "]", "\r\n"});
  lines_.push_back(newLine);
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, std::to_string(value));
}

std::vector<std::pair<std::string, std::string>> IniFile::SectionValues(
    const std::string& section) const {
  std::vector<std::pair<std::string, std::string>> values;
  ForEachKeyIn(section, [&](std::size_t, std::pair<std::string, std::string>& kv) {
    values.push_back(std::move(kv));
    return true;
  });
  return values;
}

}  // namespace ruvo
