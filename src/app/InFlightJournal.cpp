#include "app/InFlightJournal.h"

#include "platform/AtomicFile.h"
#include "platform/Files.h"

namespace ruvo {

namespace {

constexpr char kHeader[] = "RUVODRV JURNAL 2";
constexpr char kHeaderVersion1[] = "RUVODRV JURNAL 1";
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

bool IsNumber(const std::string& text, std::size_t maxLength) {
  return !text.empty() && OnlyOf(text, "0123456789", maxLength);
}

// The answer's lines as the response file holds them, in hex; "" for none.
std::string AnswerHex(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return Hex(bytes);
}

// name;sha;stamp;kind;phase;port;number, the fields both versions share.
std::optional<InFlightRecord> ParseRecordStart(const std::vector<std::string>& f) {
  std::optional<std::string> name = FromHex(f[1]);
  if (!name || !IsSha(f[2]) || !OnlyOf(f[3], "0123456789_", 32)) return std::nullopt;
  InFlightRecord r;
  r.name = *name;
  r.delivery.sha256 = f[2];
  r.stamp = f[3];
  if (f[4] == "S") {
    r.kind = FileKind::Sale;
  } else if (f[4] == "A") {
    r.kind = FileKind::Other;
  } else {
    return std::nullopt;
  }
  if (f[5].size() != 1 || f[5][0] < '0' || f[5][0] > '4') return std::nullopt;
  r.phase = static_cast<RunPhase>(f[5][0] - '0');
  if (!IsNumber(f[6], 5)) return std::nullopt;
  r.port = std::stoi(f[6]);
  if (!OnlyOf(f[7], "0123456789", 9)) return std::nullopt;
  r.receiptNumber = f[7];
  return r;
}

// token;pinned;device;inode;birth from field first on.
bool ParseDelivery(const std::vector<std::string>& f, std::size_t first, DeliveryId& id) {
  const std::string& token = f[first];
  if (!PinToken(PinName(token)) || (f[first + 1] != "0" && f[first + 1] != "1") ||
      !IsNumber(f[first + 2], 20) || !IsNumber(f[first + 3], 20) || !IsNumber(f[first + 4], 19)) {
    return false;
  }
  try {
    id.token = token;
    id.pinned = f[first + 1] == "1";
    id.origin.device = std::stoull(f[first + 2]);
    id.origin.inode = std::stoull(f[first + 3]);
    id.origin.birthNs = std::stoll(f[first + 4]);
  } catch (...) {
    return false;
  }
  return true;
}

std::string FormatDelivery(const DeliveryId& id) {
  return id.token + ";" + (id.pinned ? "1" : "0") + ";" + std::to_string(id.origin.device) + ";" +
         std::to_string(id.origin.inode) + ";" + std::to_string(id.origin.birthNs);
}

// Version 2: F;name;sha;stamp;kind;phase;port;number;token;pinned;device;inode;birth;answer
std::optional<InFlightRecord> ParseRecord(const std::vector<std::string>& f) {
  if (f.size() != 14) return std::nullopt;
  std::optional<InFlightRecord> r = ParseRecordStart(f);
  if (!r || !ParseDelivery(f, 8, r->delivery)) return std::nullopt;
  if (!f[13].empty()) {
    const std::optional<std::string> answer = FromHex(f[13]);
    if (!answer) return std::nullopt;
    r->answer = SplitLines(*answer);
  }
  if (r->phase == RunPhase::Answered && r->answer.empty()) return std::nullopt;
  return r;
}

// Version 1 knew the bytes only; its files get a token of their own.
std::optional<InFlightRecord> ParseRecordVersion1(const std::vector<std::string>& f) {
  if (f.size() != 8) return std::nullopt;
  std::optional<InFlightRecord> r = ParseRecordStart(f);
  if (!r || r->phase == RunPhase::Answered) return std::nullopt;
  r->delivery.token = NewDeliveryToken();
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
    text += "F;" + Hex(r.name) + ";" + r.delivery.sha256 + ";" + r.stamp + ";" +
            (r.kind == FileKind::Sale ? "S" : "A") + ";" +
            std::to_string(static_cast<int>(r.phase)) + ";" + std::to_string(r.port) + ";" +
            r.receiptNumber + ";" + FormatDelivery(r.delivery) + ";" + AnswerHex(r.answer) + "\n";
  }
  for (const ExecutedFile& e : executed) {
    text += "X;" + Hex(e.name) + ";" + e.delivery.sha256 + ";" + FormatDelivery(e.delivery) + "\n";
  }
  return text;
}

void ParseJournal(const std::string& text, std::vector<InFlightRecord>& records,
                  std::vector<ExecutedFile>& executed) {
  records.clear();
  executed.clear();
  const std::vector<std::string> lines = SplitLines(text);
  if (lines.empty()) return;
  const bool version1 = lines[0] == kHeaderVersion1;
  if (!version1 && lines[0] != kHeader) return;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> f = SplitAt(lines[i], ';');
    if (f[0] == "F") {
      std::optional<InFlightRecord> r = version1 ? ParseRecordVersion1(f) : ParseRecord(f);
      if (r) records.push_back(std::move(*r));
    } else if (f[0] == "X" && f.size() == (version1 ? 3u : 8u)) {
      const std::optional<std::string> name = FromHex(f[1]);
      if (!name || !IsSha(f[2])) continue;
      ExecutedFile e{*name, {}};
      e.delivery.sha256 = f[2];
      if (version1) {
        e.delivery.token = NewDeliveryToken();
      } else if (!ParseDelivery(f, 3, e.delivery)) {
        continue;
      }
      executed.push_back(std::move(e));
    }
  }
}

InFlightJournal::InFlightJournal(const std::string& folder) : folder_(folder) {}

void InFlightJournal::EnsureLoaded() {
  if (loadedFrom_ == folder_ && !unreadable_) return;
  loadedFrom_ = folder_;
  records_.clear();
  executed_.clear();
  const std::string path = JoinPath(folder_, kFileName);
  const std::optional<std::string> text = ReadFileBytes(path);
  // A journal that is there but cannot be read is not an empty one.
  unreadable_ = !text && FileExists(path);
  if (text) ParseJournal(*text, records_, executed_);
}

bool InFlightJournal::Ready() {
  EnsureLoaded();
  return !unreadable_;
}

bool InFlightJournal::Save() {
  if (unreadable_) return false;
  const std::string path = JoinPath(folder_, kFileName);
  if (records_.empty() && executed_.empty()) return DeleteFile(path);
  return WriteFileAtomic(path, FormatJournal(records_, executed_));
}

template <class Change>
bool InFlightJournal::Commit(Change change) {
  EnsureLoaded();
  std::vector<InFlightRecord> records = records_;
  std::vector<ExecutedFile> executed = executed_;
  if (!change()) return true;  // nothing changed
  if (Save()) return true;
  records_ = std::move(records);
  executed_ = std::move(executed);
  return false;
}

bool InFlightJournal::Flush() {
  EnsureLoaded();
  return Save();
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
  return Commit([&] {
    for (InFlightRecord& r : records_) {
      if (r.name == record.name) {
        r = record;
        return true;
      }
    }
    records_.push_back(record);
    return true;
  });
}

bool InFlightJournal::Remove(const std::string& name) {
  return Commit([&] { return EraseNamed(records_, name); });
}

const std::vector<ExecutedFile>& InFlightJournal::Executed() {
  EnsureLoaded();
  return executed_;
}

bool InFlightJournal::AddExecuted(const ExecutedFile& file) {
  return Commit([&] {
    EraseNamed(executed_, file.name);
    executed_.push_back(file);
    return true;
  });
}

bool InFlightJournal::RemoveExecuted(const std::string& name) {
  return Commit([&] { return EraseNamed(executed_, name); });
}

bool InFlightJournal::MoveToExecuted(const ExecutedFile& file) {
  return Commit([&] {
    EraseNamed(records_, file.name);
    EraseNamed(executed_, file.name);
    executed_.push_back(file);
    return true;
  });
}

}  // namespace ruvo
