#include "app/InFlightJournal.h"

#include <iostream>

#include "platform/AtomicFile.h"
#include "platform/Files.h"

namespace ruvo {

namespace {

constexpr char kHeader[] = "RUVODRV JURNAL 1";
constexpr std::size_t kShaLength = 64;

// File names go in as hex, so that no byte of a name can break the line format.
std::string Hex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0xF]);
  }
  return hex;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::string> FromHex(const std::string& hex) {
  if (hex.empty() || hex.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigit(hex[i]);
    const int low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return bytes;
}

bool IsSha(const std::string& text) {
  if (text.size() != kShaLength) return false;
  for (const char c : text) {
    if (HexDigit(c) < 0) return false;
  }
  return true;
}

bool OnlyOf(const std::string& text, const std::string& allowed, std::size_t maxLength) {
  if (text.size() > maxLength) return false;
  return text.find_first_not_of(allowed) == std::string::npos;
}

std::vector<std::string> SplitAt(const std::string& line, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = line.find(separator, start);
    parts.push_back(line.substr(start, end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

std::optional<InFlightRecord> ParseRecord(const std::vector<std::string>& f) {
  // F;name;sha;stamp;kind;phase;port;number
  if (f.size() != 8) return std::nullopt;
  std::optional<std::string> name = FromHex(f[1]);
  if (!name || !IsSha(f[2]) || !OnlyOf(f[3], "0123456789_", 32)) return std::nullopt;
  InFlightRecord r;
  r.name = *name;
  r.sha256 = f[2];
  r.stamp = f[3];
  if (f[4] == "S") {
    r.kind = FileKind::Sale;
  } else if (f[4] == "A") {
    r.kind = FileKind::Other;
  } else {
    return std::nullopt;
  }
  if (f[5].size() != 1 || f[5][0] < '0' || f[5][0] > '3') return std::nullopt;
  r.phase = static_cast<RunPhase>(f[5][0] - '0');
  if (f[6].empty() || !OnlyOf(f[6], "0123456789", 5)) return std::nullopt;
  r.port = std::stoi(f[6]);
  if (!OnlyOf(f[7], "0123456789", 9)) return std::nullopt;
  r.receiptNumber = f[7];
  return r;
}

// True when an entry of that name was there.
template <class Entry>
bool EraseNamed(std::vector<Entry>& entries, const std::string& name) {
  return std::erase_if(entries, [&](const Entry& e) { return e.name == name; }) > 0;
}

}  // namespace

std::string FormatJournal(const std::vector<InFlightRecord>& records,
                          const std::vector<ExecutedFile>& executed) {
  std::string text = std::string(kHeader) + "\n";
  for (const InFlightRecord& r : records) {
    text += "F;" + Hex(r.name) + ";" + r.sha256 + ";" + r.stamp + ";" +
            (r.kind == FileKind::Sale ? "S" : "A") + ";" +
            std::to_string(static_cast<int>(r.phase)) + ";" + std::to_string(r.port) + ";" +
            r.receiptNumber + "\n";
  }
  for (const ExecutedFile& e : executed) text += "X;" + Hex(e.name) + ";" + e.sha256 + "\n";
  return text;
}

void ParseJournal(const std::string& text, std::vector<InFlightRecord>& records,
                  std::vector<ExecutedFile>& executed) {
  records.clear();
  executed.clear();
  const std::vector<std::string> lines = SplitLines(text);
  if (lines.empty() || lines[0] != kHeader) return;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> f = SplitAt(lines[i], ';');
    if (f[0] == "F") {
      if (std::optional<InFlightRecord> r = ParseRecord(f)) records.push_back(std::move(*r));
    } else if (f[0] == "X" && f.size() == 3) {
      std::optional<std::string> name = FromHex(f[1]);
      if (name && IsSha(f[2])) executed.push_back(ExecutedFile{*name, f[2]});
    }
  }
}

InFlightJournal::InFlightJournal(const std::string& folder) : folder_(folder) {}

void InFlightJournal::EnsureLoaded() {
  if (loadedFrom_ == folder_) return;
  loadedFrom_ = folder_;
  records_.clear();
  executed_.clear();
  if (std::optional<std::string> text = ReadFileBytes(JoinPath(folder_, kFileName))) {
    ParseJournal(*text, records_, executed_);
  }
}

bool InFlightJournal::Save() {
  const std::string path = JoinPath(folder_, kFileName);
  bool ok = false;
  if (records_.empty() && executed_.empty()) {
    ok = DeleteFile(path);
  } else {
    ok = WriteFileAtomic(path, FormatJournal(records_, executed_));
  }
  if (!ok) std::cerr << "Ruvo_Drv: cannot save the journal " << path << '\n';
  return ok;
}

const std::vector<InFlightRecord>& InFlightJournal::Records() {
  EnsureLoaded();
  return records_;
}

std::optional<InFlightRecord> InFlightJournal::Find(const std::string& name) {
  EnsureLoaded();
  for (const InFlightRecord& r : records_) {
    if (r.name == name) return r;
  }
  return std::nullopt;
}

bool InFlightJournal::Put(const InFlightRecord& record) {
  EnsureLoaded();
  for (InFlightRecord& r : records_) {
    if (r.name == record.name) {
      r = record;
      return Save();
    }
  }
  records_.push_back(record);
  return Save();
}

bool InFlightJournal::Remove(const std::string& name) {
  EnsureLoaded();
  return !EraseNamed(records_, name) || Save();
}

const std::vector<ExecutedFile>& InFlightJournal::Executed() {
  EnsureLoaded();
  return executed_;
}

bool InFlightJournal::AddExecuted(const ExecutedFile& file) {
  EnsureLoaded();
  EraseNamed(executed_, file.name);
  executed_.push_back(file);
  return Save();
}

bool InFlightJournal::RemoveExecuted(const std::string& name) {
  EnsureLoaded();
  return !EraseNamed(executed_, name) || Save();
}

}  // namespace ruvo
