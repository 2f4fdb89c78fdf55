#include "http/HttpOperationKeys.h"

#include "app/SettingsFile.h"
#include "http/HttpReceipts.h"
#include "http/HttpSettings.h"
#include "platform/AtomicFile.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/IntegerText.h"
#include "platform/Log.h"

namespace ruvo::http {

namespace {

// Reads "<text>\n" from the front of bytes at at.
std::optional<std::string> Line(const std::string& bytes, std::size_t& at) {
  const std::size_t end = bytes.find('\n', at);
  if (end == std::string::npos) return std::nullopt;
  std::string line = bytes.substr(at, end - at);
  at = end + 1;
  return line;
}

std::optional<std::size_t> Count(const std::string& bytes, std::size_t& at) {
  const std::optional<std::string> line = Line(bytes, at);
  if (!line || line->empty() || line->find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  const std::optional<std::int64_t> value = ParseInt64(*line);
  if (!value || static_cast<std::uint64_t>(*value) > bytes.size()) return std::nullopt;
  return static_cast<std::size_t>(*value);
}

// "<length>\n<bytes>\n": a text that may hold any byte.
void PutBlock(std::string& bytes, const std::string& text) {
  bytes += std::to_string(text.size()) + "\n" + text + "\n";
}

std::optional<std::string> Block(const std::string& bytes, std::size_t& at) {
  const std::optional<std::size_t> length = Count(bytes, at);
  if (!length || at + *length >= bytes.size() || bytes[at + *length] != '\n') return std::nullopt;
  std::string text = bytes.substr(at, *length);
  at += *length + 1;
  return text;
}

std::string EncodeKeptAnswer(const ControlAnswer& answer) {
  std::string bytes = std::string(answer.ok ? "1" : "0") + " " + (answer.refused ? "1" : "0") +
                      " " + std::to_string(static_cast<int>(answer.key)) + "\n";
  bytes += std::to_string(answer.lines.size()) + "\n";
  for (const std::string& line : answer.lines) PutBlock(bytes, line);
  return bytes;
}

std::optional<ControlAnswer> DecodeKeptAnswer(const std::string& bytes) {
  std::size_t at = 0;
  const std::optional<std::string> flags = Line(bytes, at);
  if (!flags || flags->size() != 5 || (*flags)[1] != ' ' || (*flags)[3] != ' ') {
    return std::nullopt;
  }
  ControlAnswer answer;
  answer.ok = (*flags)[0] == '1';
  answer.refused = (*flags)[2] == '1';
  const int key = (*flags)[4] - '0';
  if (key < 0 || key > static_cast<int>(KeyOutcome::Undetermined)) return std::nullopt;
  answer.key = static_cast<KeyOutcome>(key);
  answer.ran = true;
  const std::optional<std::size_t> count = Count(bytes, at);
  if (!count) return std::nullopt;
  for (std::size_t k = 0; k < *count; ++k) {
    std::optional<std::string> line = Block(bytes, at);
    if (!line) return std::nullopt;
    answer.lines.push_back(std::move(*line));
  }
  if (at != bytes.size()) return std::nullopt;
  return answer;
}

}  // namespace

HttpOperationKeys::HttpOperationKeys(std::string workingFolder, IClock& clock, int keepDays)
    : recordFolder_(JoinPath(workingFolder, HttpReceipts::kFolderName)),
      clock_(clock),
      keepS_(static_cast<std::int64_t>(keepDays) * 86'400) {
  ReadRecords();
}

std::unique_ptr<HttpOperationKeys> HttpOperationKeys::Load(const std::string& workingFolder,
                                                           IClock& clock) {
  IniFile ini;
  int keepDays = HttpSettings::kDefaultKeepDays;
  if (ini.Load(JoinPath(workingFolder, kSettingsFileName)))
    keepDays = ReadHttpSettings(ini).keepDays;
  return std::make_unique<HttpOperationKeys>(workingFolder, clock, keepDays);
}

std::string HttpOperationKeys::RecordPath(const std::string& key) const {
  return JoinPath(recordFolder_, KeyId(key) + kRecordSuffix);
}

void HttpOperationKeys::ReadRecords() {
  if (!FolderExists(recordFolder_)) return;
  for (const std::string& name : ListMatching(recordFolder_, "*" + kRecordSuffix)) {
    const std::optional<std::string> bytes = ReadFileBytes(JoinPath(recordFolder_, name));
    const std::optional<KeyRecord> record = bytes ? DecodeRecord(*bytes) : std::nullopt;
    if (!record || KeyId(record->key) + kRecordSuffix != name || !DecodeOperation(*record)) {
      Log(LogLevel::Warning, "operation key record " + name + " cannot be read; left alone");
      continue;
    }
    records_[record->key] = *record;
  }
}

std::string HttpOperationKeys::EncodeOperation(const OperationKeyRecord& record) {
  std::string bytes = std::to_string(record.arguments.size()) + "\n";
  for (const std::string& argument : record.arguments) PutBlock(bytes, argument);
  PutBlock(bytes, record.evidence);
  return bytes;
}

std::optional<OperationKeyRecord> HttpOperationKeys::DecodeOperation(const KeyRecord& stored) {
  OperationKeyRecord record;
  record.key = stored.key;
  record.requestHash = stored.bodyHash;
  const std::string& bytes = stored.receipt;
  std::size_t at = 0;
  const std::optional<std::size_t> count = Count(bytes, at);
  if (!count || *count == 0) return std::nullopt;
  for (std::size_t k = 0; k < *count; ++k) {
    std::optional<std::string> argument = Block(bytes, at);
    if (!argument) return std::nullopt;
    record.arguments.push_back(std::move(*argument));
  }
  std::optional<std::string> evidence = Block(bytes, at);
  if (!evidence || at != bytes.size()) return std::nullopt;
  record.evidence = std::move(*evidence);
  if (stored.answer) {
    record.answer = DecodeKeptAnswer(*stored.answer);
    if (!record.answer) return std::nullopt;
  }
  return record;
}

std::optional<OperationKeyRecord> HttpOperationKeys::Find(const std::string& key) {
  ForgetOld();
  const auto found = records_.find(key);
  if (found == records_.end()) return std::nullopt;
  return DecodeOperation(found->second);
}

bool HttpOperationKeys::Save(const OperationKeyRecord& record) {
  KeyRecord stored;
  const auto known = records_.find(record.key);
  stored.key = record.key;
  stored.bodyHash = record.requestHash;
  stored.createdS = known != records_.end() ? known->second.createdS : NowS();
  stored.receipt = EncodeOperation(record);
  if (record.answer) {
    stored.answer = EncodeKeptAnswer(*record.answer);
    stored.answeredS = NowS();
  }
  records_[record.key] = stored;
  if (!CreateFolders(recordFolder_) || !FolderExists(recordFolder_)) return false;
  return WriteFileAtomic(RecordPath(record.key), EncodeRecord(stored));
}

void HttpOperationKeys::Forget(const std::string& key) {
  records_.erase(key);
  DeleteFile(RecordPath(key));
}

void HttpOperationKeys::ForgetOld() {
  const std::int64_t nowMs = clock_.MonotonicMs();
  if (expiredOnce_ && nowMs - lastExpiryMs_ < kExpiryEveryMs) return;
  expiredOnce_ = true;
  lastExpiryMs_ = nowMs;
  const std::int64_t now = NowS();
  if (now == 0) return;  // a clock without real time: nothing is old
  for (auto record = records_.begin(); record != records_.end();) {
    const bool old = record->second.Answered() && record->second.answeredS + keepS_ < now;
    if (old && DeleteFile(RecordPath(record->first))) {
      record = records_.erase(record);
    } else {
      ++record;
    }
  }
}

}  // namespace ruvo::http
