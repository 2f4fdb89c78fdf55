#include "http/HttpReceipts.h"

#include "app/ReceiptCycle.h"
#include "app/ResponseFile.h"
#include "platform/AtomicFile.h"
#include "platform/Files.h"
#include "platform/IntegerText.h"
#include "platform/Log.h"
#include "platform/Sha256.h"

namespace ruvo::http {

namespace {

const std::string kRecordSuffix = ".key";
const std::string kRunningName = "running";

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
  runS_ = 0;
  if (const std::optional<std::string> running =
          ReadFileBytes(JoinPath(recordFolder_, kRunningName))) {
    const std::string digits = running->substr(0, running->find('\n'));
    if (digits.find_first_not_of("0123456789") == std::string::npos) {
      runS_ = ParseInt64(digits).value_or(0);
    }
  }
  runCountedMs_ = clock_.MonotonicMs();
  damaged_.clear();
  for (const std::string& name : ListEntriesMatching(recordFolder_, "*" + kRecordSuffix)) {
    const std::string path = JoinPath(recordFolder_, name);
    // A link is nothing this driver wrote: what it points to may change under it.
    const std::optional<std::string> bytes =
        IsRegularFile(path) ? ReadFileBytes(path) : std::nullopt;
    const std::optional<KeyRecord> record = bytes ? DecodeRecord(*bytes) : std::nullopt;
    if (!record || KeyId(record->key) + kRecordSuffix != name) {
      Log(LogLevel::Warning, "HTTP: the record " + path +
                                 " is damaged; its key is refused until it is checked and removed");
      damaged_[name.substr(0, name.size() - kRecordSuffix.size())] = path;
      continue;
    }
    records_[record->key] = *record;
    if (record->Answered() && record->answeredRunS < 0) {
      // An older driver's answer counts its running time from now on.
      records_[record->key].answeredRunS = runS_;
      unsaved_[record->key] = true;
    }
  }
  return true;
}

void HttpReceipts::CountRunningTime(bool save) {
  const std::int64_t nowMs = clock_.MonotonicMs();
  const std::int64_t seconds = (nowMs - runCountedMs_) / 1000;
  if (seconds > 0) {
    runS_ += seconds;
    runCountedMs_ += seconds * 1000;
  }
  if (save) WriteFileAtomic(JoinPath(recordFolder_, kRunningName), std::to_string(runS_) + "\n");
}

std::string HttpReceipts::DamagedRecordOf(const std::string& key) const {
  const auto found = damaged_.find(KeyId(key));
  return found == damaged_.end() ? std::string() : found->second;
}

std::vector<std::string> HttpReceipts::DamageWarnings() const {
  std::vector<std::string> warnings;
  for (const auto& [id, path] : damaged_) {
    warnings.push_back("Atentie ! Inregistrarea HTTP deteriorata " + path +
                       " ! Cheia ei este refuzata. Verificati la casa de marcat daca bonul "
                       "a fost emis, apoi stergeti inregistrarea.");
  }
  return warnings;
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
  if (!DamagedRecordOf(key).empty()) return Submitted::Damaged;
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

ReceiptAnswer HttpReceipts::AnswerOf(const KeyRecord& record) {
  if (!record.answer) return {};
  // Records of older drivers kept the response file's bytes.
  if (std::optional<ReceiptAnswer> answer = DecodeAnswer(*record.answer)) return *answer;
  return AnswerOfLines(SplitLines(*record.answer));
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
  Answer(record, AnswerOfLines(SplitLines(*answer)));
  unsaved_[record.key] = true;
}

void HttpReceipts::Answer(KeyRecord& record, const ReceiptAnswer& answer) {
  record.answer = EncodeAnswer(answer);
  record.answeredS = NowS();
  CountRunningTime(false);
  record.answeredRunS = runS_;
}

bool HttpReceipts::Keep(const std::string& suffix, const ReceiptAnswer& answer,
                        std::string& failedPath) {
  for (auto& [key, record] : records_) {
    if (record.Answered() || ChannelOf(key) != suffix) continue;
    KeyRecord answered = record;
    Answer(answered, answer);
    if (!Save(answered)) {
      failedPath = RecordPath(key);
      Log(LogLevel::Error, "HTTP: cannot save the answer into " + failedPath);
      return false;
    }
    record = std::move(answered);
    responseLeft_.insert(key);
    return true;
  }
  // Another channel's file, or a key answered before a crash kept its file in place.
  return true;
}

void HttpReceipts::Advance() {
  for (auto& [key, record] : records_) {
    if (!record.Answered()) TakeAnswer(record);
    if (unsaved_.count(key) != 0 && Save(record)) {
      unsaved_.erase(key);
      responseLeft_.insert(key);
    }
  }
  // The record holds the answer: its response file goes once the cycle is done with the
  // receipt file.
  for (auto key = responseLeft_.begin(); key != responseLeft_.end();) {
    if (FileExists(ReceiptPath(*key))) {
      ++key;
      continue;
    }
    DeleteFile(AnswerPath(*key));
    key = responseLeft_.erase(key);
  }
  ForgetOld();
}

void HttpReceipts::ForgetOld() {
  const std::int64_t nowMs = clock_.MonotonicMs();
  if (expiredOnce_ && nowMs - lastExpiryMs_ < kExpiryEveryMs) return;
  expiredOnce_ = true;
  lastExpiryMs_ = nowMs;
  CountRunningTime(true);
  // A damaged record the operator has removed (having checked the ECR) frees its key.
  std::erase_if(damaged_, [](const auto& entry) { return !FileExists(entry.second); });
  const std::int64_t now = NowS();
  if (now == 0) return;  // a clock without real time: nothing is old
  for (auto record = records_.begin(); record != records_.end();) {
    const KeyRecord& r = record->second;
    // Old by the wall clock and by the driver's own running time: a step of the clock
    // cannot jump the second.
    const bool old = r.Answered() && unsaved_.count(record->first) == 0 &&
                     r.answeredS + keepS_ < now && r.answeredRunS >= 0 &&
                     r.answeredRunS + keepS_ < runS_;
    if (old && DeleteFile(RecordPath(record->first))) {
      record = records_.erase(record);
    } else {
      ++record;
    }
  }
}

}  // namespace ruvo::http
