#include "app/InFlightJournal.h"

#include <cstdint>

#include "platform/AtomicFile.h"
#include "platform/Files.h"
#include "platform/HexText.h"
#include "platform/IntegerText.h"
#include "platform/Sha256.h"

namespace ruvo {

namespace {

constexpr char kHeader[] = "RUVODRV JURNAL 4";
constexpr char kHeaderVersion3[] = "RUVODRV JURNAL 3";
constexpr char kHeaderVersion2[] = "RUVODRV JURNAL 2";
constexpr char kHeaderVersion1[] = "RUVODRV JURNAL 1";
constexpr std::size_t kShaLength = 64;
constexpr std::size_t kCheckLength = 16;
constexpr int kHighestReceiptNumber = 9999;

bool IsSha(const std::string& text) {
  return text.size() == kShaLength &&
         text.find_first_not_of("0123456789abcdef") == std::string::npos;
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

// Digits only (no sign), within maxLength, read by the one integer parser.
std::optional<std::int64_t> Unsigned(const std::string& text, std::size_t maxLength) {
  if (!IsNumber(text, maxLength)) return std::nullopt;
  return ParseInt64(text);
}

std::optional<std::uint64_t> Unsigned64(const std::string& text) {
  if (!IsNumber(text, 20)) return std::nullopt;
  // Beyond what a signed reading holds: device and inode numbers are unsigned.
  std::uint64_t value = 0;
  for (const char c : text) {
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

// The check a line of the current layout ends with.
std::string Check(std::string_view body) { return Sha256Hex(body).substr(0, kCheckLength); }

std::string Checked(const std::string& body) { return body + ";" + Check(body); }

// The line without its check, when the check holds.
std::optional<std::string> Unchecked(const std::string& line) {
  const std::size_t at = line.rfind(';');
  if (at == std::string::npos || line.size() - at - 1 != kCheckLength) return std::nullopt;
  const std::string body = line.substr(0, at);
  if (line.compare(at + 1, kCheckLength, Check(body)) != 0) return std::nullopt;
  return body;
}

// The answer in its own form, in hex; "" for none.
std::string AnswerHex(const std::optional<ReceiptAnswer>& answer) {
  return answer ? ToHex(EncodeAnswer(*answer)) : std::string();
}

std::string FormatMark(const std::optional<EcrMark>& mark) {
  if (!mark) return "";
  auto count = [](int value) { return value < 0 ? std::string() : std::to_string(value); };
  return std::to_string(mark->lastNumber) + "," + count(mark->receipts) + "," +
         count(mark->cancelled);
}

// "" for none; false for a field that is no mark.
bool ParseMark(const std::string& text, std::optional<EcrMark>& mark) {
  mark.reset();
  if (text.empty()) return true;
  const std::vector<std::string> parts = SplitAt(text, ',');
  if (parts.size() != 3) return false;
  const std::optional<std::int64_t> number = Unsigned(parts[0], 4);
  if (!number || *number > kHighestReceiptNumber) return false;
  EcrMark m;
  m.lastNumber = static_cast<int>(*number);
  if (parts[1].empty() != parts[2].empty()) return false;
  if (!parts[1].empty()) {
    const std::optional<std::int64_t> receipts = Unsigned(parts[1], 9);
    const std::optional<std::int64_t> cancelled = Unsigned(parts[2], 9);
    if (!receipts || !cancelled) return false;
    m.receipts = static_cast<int>(*receipts);
    m.cancelled = static_cast<int>(*cancelled);
  }
  mark = m;
  return true;
}

// name;sha;stamp;kind;phase;port;number, the fields all versions share.
std::optional<InFlightRecord> ParseRecordStart(const std::vector<std::string>& f) {
  std::optional<std::string> name = FromHex(f[1]);
  if (!name || name->empty() || !IsSha(f[2]) || !OnlyOf(f[3], "0123456789_", 32))
    return std::nullopt;
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
  const std::optional<std::int64_t> port = Unsigned(f[6], 5);
  if (!port) return std::nullopt;
  r.port = static_cast<int>(*port);
  if (!OnlyOf(f[7], "0123456789", 9)) return std::nullopt;
  r.receiptNumber = f[7];
  return r;
}

// token;pinned;device;inode;birth from field first on.
bool ParseDelivery(const std::vector<std::string>& f, std::size_t first, DeliveryId& id) {
  const std::string& token = f[first];
  if (!PinToken(PinName(token)) || (f[first + 1] != "0" && f[first + 1] != "1")) return false;
  const std::optional<std::uint64_t> device = Unsigned64(f[first + 2]);
  const std::optional<std::uint64_t> inode = Unsigned64(f[first + 3]);
  const std::optional<std::int64_t> birth = Unsigned(f[first + 4], 19);
  if (!device || !inode || !birth) return false;
  id.token = token;
  id.pinned = f[first + 1] == "1";
  id.origin.device = *device;
  id.origin.inode = *inode;
  id.origin.birthNs = *birth;
  return true;
}

std::string FormatDelivery(const DeliveryId& id) {
  return id.token + ";" + (id.pinned ? "1" : "0") + ";" + std::to_string(id.origin.device) + ";" +
         std::to_string(id.origin.inode) + ";" + std::to_string(id.origin.birthNs);
}

// Version 2: F;name;sha;stamp;kind;phase;port;number;token;pinned;device;inode;birth;answer
// Version 3 adds the mark (its check is taken off before); version 4 keeps the answer in
// its own form, where 2 and 3 kept the response file's lines.
std::optional<InFlightRecord> ParseRecord(const std::vector<std::string>& f, int version) {
  const bool withMark = version >= 3;
  if (f.size() != (withMark ? 15u : 14u)) return std::nullopt;
  std::optional<InFlightRecord> r = ParseRecordStart(f);
  if (!r || !ParseDelivery(f, 8, r->delivery)) return std::nullopt;
  if (!f[13].empty()) {
    const std::optional<std::string> answer = FromHex(f[13]);
    if (!answer) return std::nullopt;
    if (version >= 4) {
      r->answer = DecodeAnswer(*answer);
      if (!r->answer) return std::nullopt;
    } else {
      const std::vector<std::string> lines = SplitLines(*answer);
      if (!lines.empty()) r->answer = AnswerOfLines(lines);
    }
  }
  if (r->phase == RunPhase::Answered && !r->answer) return std::nullopt;
  if (withMark && !ParseMark(f[14], r->mark)) return std::nullopt;
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

std::optional<ExecutedFile> ParseExecuted(const std::vector<std::string>& f, bool version1) {
  if (f.size() != (version1 ? 3u : 8u)) return std::nullopt;
  const std::optional<std::string> name = FromHex(f[1]);
  if (!name || name->empty() || !IsSha(f[2])) return std::nullopt;
  ExecutedFile e{*name, {}};
  e.delivery.sha256 = f[2];
  if (version1) {
    e.delivery.token = NewDeliveryToken();
  } else if (!ParseDelivery(f, 3, e.delivery)) {
    return std::nullopt;
  }
  return e;
}

// True when an entry of that name was there.
template <class Entry>
bool EraseNamed(std::vector<Entry>& entries, const std::string& name) {
  return std::erase_if(entries, [&](const Entry& e) { return e.name == name; }) > 0;
}

// The text of version 3 up to its end line, when that line is there and holds.
std::optional<std::string> CheckedBody(const std::string& text) {
  if (text.empty() || text.back() != '\n') return std::nullopt;
  const std::size_t lineStart = text.rfind('\n', text.size() - 2);
  if (lineStart == std::string::npos) return std::nullopt;
  const std::string body = text.substr(0, lineStart + 1);
  const std::string end = text.substr(lineStart + 1, text.size() - lineStart - 2);
  if (end != "E;" + Check(body)) return std::nullopt;
  return body;
}

}  // namespace

int NextReceiptNumber(int number) { return number % kHighestReceiptNumber + 1; }

EcrMove CompareMark(const EcrMark& before, const EcrMark& now) {
  if (now == before) return EcrMove::Unchanged;
  if (!before.CountsKnown() || !now.CountsKnown()) return EcrMove::Unknown;
  if (now.lastNumber != NextReceiptNumber(before.lastNumber)) return EcrMove::Unknown;
  if (now.receipts == before.receipts + 1 && now.cancelled == before.cancelled) {
    return EcrMove::ClosedOne;
  }
  if (now.cancelled == before.cancelled + 1 && now.receipts == before.receipts) {
    return EcrMove::CancelledOne;
  }
  return EcrMove::Unknown;
}

std::string FormatJournal(const std::vector<InFlightRecord>& records,
                          const std::vector<ExecutedFile>& executed) {
  std::string text = std::string(kHeader) + "\n";
  for (const InFlightRecord& r : records) {
    text += Checked("F;" + ToHex(r.name) + ";" + r.delivery.sha256 + ";" + r.stamp + ";" +
                    (r.kind == FileKind::Sale ? "S" : "A") + ";" +
                    std::to_string(static_cast<int>(r.phase)) + ";" + std::to_string(r.port) + ";" +
                    r.receiptNumber + ";" + FormatDelivery(r.delivery) + ";" + AnswerHex(r.answer) +
                    ";" + FormatMark(r.mark)) +
            "\n";
  }
  for (const ExecutedFile& e : executed) {
    text +=
        Checked("X;" + ToHex(e.name) + ";" + e.delivery.sha256 + ";" + FormatDelivery(e.delivery)) +
        "\n";
  }
  return text + "E;" + Check(text) + "\n";
}

bool ParseJournal(const std::string& text, std::vector<InFlightRecord>& records,
                  std::vector<ExecutedFile>& executed) {
  records.clear();
  executed.clear();
  const std::size_t firstEnd = text.find('\n');
  const std::string header = text.substr(0, firstEnd);
  const bool version1 = header == kHeaderVersion1;
  const bool version2 = header == kHeaderVersion2;
  const int version = version1 ? 1 : version2 ? 2 : header == kHeaderVersion3 ? 3 : 4;
  // A layout this driver does not know is not an empty journal.
  if (version == 4 && header != kHeader) return false;
  std::string body = text;
  if (!version1 && !version2) {
    const std::optional<std::string> checked = CheckedBody(text);
    if (!checked) return false;
    body = *checked;
  }
  std::vector<InFlightRecord> readRecords;
  std::vector<ExecutedFile> readExecuted;
  const std::vector<std::string> lines = SplitLines(body);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::string line = lines[i];
    if (!version1 && !version2) {
      std::optional<std::string> unchecked = Unchecked(line);
      if (!unchecked) return false;
      line = std::move(*unchecked);
    }
    const std::vector<std::string> f = SplitAt(line, ';');
    if (f[0] == "F") {
      std::optional<InFlightRecord> r = version1 ? ParseRecordVersion1(f) : ParseRecord(f, version);
      if (!r) return false;
      readRecords.push_back(std::move(*r));
    } else if (f[0] == "X") {
      std::optional<ExecutedFile> e = ParseExecuted(f, version1);
      if (!e) return false;
      readExecuted.push_back(std::move(*e));
    } else if (!(line.empty() && (version1 || version2))) {
      return false;
    }
  }
  records = std::move(readRecords);
  executed = std::move(readExecuted);
  return true;
}

InFlightJournal::InFlightJournal(const std::string& folder) : folder_(folder) {}

void InFlightJournal::EnsureLoaded() {
  if (loadedFrom_ == folder_ && !unreadable_ && !damaged_) return;
  loadedFrom_ = folder_;
  records_.clear();
  executed_.clear();
  const std::string path = JoinPath(folder_, kFileName);
  const std::optional<std::string> text = ReadFileBytes(path);
  // A journal that is there but cannot be read is not an empty one.
  unreadable_ = !text && FileExists(path);
  damaged_ = text && !ParseJournal(*text, records_, executed_);
  if (!damaged_) {
    asideName_.clear();
    return;
  }
  // The copy is named by its bytes: a journal damaged again otherwise gets a copy of its
  // own, and none is ever written over.
  asideName_ = kDamagedJournalPrefix + Sha256Hex(*text).substr(0, 16);
  const std::string aside = JoinPath(folder_, asideName_);
  if (!FileExists(aside)) static_cast<void>(WriteFileAtomic(aside, *text));
}

bool InFlightJournal::Ready() {
  EnsureLoaded();
  return !unreadable_ && !damaged_;
}

bool InFlightJournal::Damaged() {
  EnsureLoaded();
  return damaged_;
}

bool InFlightJournal::Save() {
  if (unreadable_ || damaged_) return false;
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
