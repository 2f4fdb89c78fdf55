#include "http/HttpReceipts.h"

#include "app/ReceiptCycle.h"
#include "app/ResponseFile.h"
#include "platform/AtomicFile.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Sha256.h"

namespace ruvo::http {

namespace {

const std::string kRecordSuffix = ".key";

}  // namespace

HttpReceipts::HttpReceipts(std::string workingFolder, IClock& clock, int keepDays)
    : folder_(std::move(workingFolder)),
      recordFolder_(JoinPath(folder_, kFolderName)),
      clock_(clock),
      keepS_(static_cast<std::int64_t>(keepDays) * 86'400) {}

bool HttpReceipts::Open(std::string& problem) {
  if (!CreateFolders(recordFolder_) || !FolderExists(recordFolder_)) {
    problem = "cannot make " + recordFolder_;
    return false;
  }
  RemoveTemporaryFiles(recordFolder_);
  for (const std::string& name : ListMatching(recordFolder_, "*" + kRecordSuffix)) {
    const std::optional<std::string> bytes = ReadFileBytes(JoinPath(recordFolder_, name));
    const std::optional<KeyRecord> record = bytes ? DecodeRecord(*bytes) : std::nullopt;
    if (!record || KeyId(record->key) + kRecordSuffix != name) {
      Log(LogLevel::Warning, "HTTP: record " + name + " cannot be read; left alone");
      continue;
    }
    records_[record->key] = *record;
  }
  return true;
}

std::string HttpReceipts::RecordPath(const std::string& key) const {
  return JoinPath(recordFolder_, KeyId(key) + kRecordSuffix);
}

std::string HttpReceipts::ReceiptPath(const std::string& key) const {
  return JoinPath(folder_, "ONLINE" + ChannelOf(key) + ".TXT");
}

std::string HttpReceipts::AnswerPath(const std::string& key) const {
  return JoinPath(folder_, ResponseFileName(ChannelOf(key)));
}

std::int64_t HttpReceipts::NowS() const { return clock_.FileTimeNowNs() / 1'000'000'000; }

bool HttpReceipts::Save(const KeyRecord& record) {
  return WriteFileAtomic(RecordPath(record.key), EncodeRecord(record));
}

bool HttpReceipts::DropReceiptFile(const KeyRecord& record) {
  // An answer under the channel's name can only be a leftover: the key is new.
  DeleteFile(AnswerPath(record.key));
  return WriteFileAtomic(ReceiptPath(record.key), record.receipt);
}

HttpReceipts::Submitted HttpReceipts::Submit(const std::string& key, const ReceiptBody& body) {
  const std::string bytes = body.FileBytes();
  const std::string hash = Sha256Hex(bytes);
  if (const KeyRecord* known = Find(key)) {
    return known->bodyHash == hash ? Submitted::Repeated : Submitted::Conflict;
  }
  KeyRecord record;
  record.key = key;
  record.bodyHash = hash;
  record.createdS = NowS();
  record.receipt = bytes;
  if (!Save(record)) {
    Log(LogLevel::Error, "HTTP: cannot save the record of a receipt in " + recordFolder_);
    return Submitted::NotSaved;
  }
  records_[key] = record;
  // Should this fail, Advance tries again: the record is there.
  if (!DropReceiptFile(record)) {
    Log(LogLevel::Warning, "HTTP: cannot write " + ReceiptPath(key) + "; trying again");
  }
  return Submitted::Accepted;
}

const KeyRecord* HttpReceipts::Find(const std::string& key) const {
  const auto found = records_.find(key);
  return found == records_.end() ? nullptr : &found->second;
}

ReceiptState HttpReceipts::StateOf(const KeyRecord& record) const {
  if (record.Answered()) return ReceiptState::Answered;
  if (running_ && running_() == ChannelOf(record.key)) return ReceiptState::Running;
  return ReceiptState::Queued;
}

std::size_t HttpReceipts::WaitingCount() const {
  std::size_t waiting = 0;
  for (const auto& [key, record] : records_) {
    if (!record.Answered()) ++waiting;
  }
  return waiting;
}

void HttpReceipts::TakeAnswer(KeyRecord& record) {
  const bool receiptThere = FileExists(ReceiptPath(record.key));
  const bool answerThere = IsRegularFile(AnswerPath(record.key));
  if (receiptThere) return;  // waiting, running, or its answer may still be rewritten
  if (!answerThere) {
    // The file never reached the folder (or a crash took it before the rename): the cycle
    // has not seen it.
    if (!FileExists(AnswerPath(record.key))) DropReceiptFile(record);
    return;
  }
  const std::optional<std::string> answer = ReadFileBytes(AnswerPath(record.key));
  if (!answer) return;
  record.answer = *answer;
  record.answeredS = NowS();
  unsaved_[record.key] = true;
}

void HttpReceipts::Advance() {
  for (auto& [key, record] : records_) {
    if (!record.Answered()) TakeAnswer(record);
    if (unsaved_.count(key) != 0 && Save(record)) {
      unsaved_.erase(key);
      DeleteFile(AnswerPath(key));
    }
  }
  ForgetOld();
}

void HttpReceipts::ForgetOld() {
  const std::int64_t nowMs = clock_.MonotonicMs();
  if (expiredOnce_ && nowMs - lastExpiryMs_ < kExpiryEveryMs) return;
  expiredOnce_ = true;
  lastExpiryMs_ = nowMs;
  const std::int64_t now = NowS();
  if (now == 0) return;  // a clock without real time: nothing is old
  for (auto record = records_.begin(); record != records_.end();) {
    const bool old = record->second.Answered() && unsaved_.count(record->first) == 0 &&
                     record->second.answeredS + keepS_ < now;
    if (old && DeleteFile(RecordPath(record->first))) {
      record = records_.erase(record);
    } else {
      ++record;
    }
  }
}

}  // namespace ruvo::http
