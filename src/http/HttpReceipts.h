#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/AnswerKeeper.h"
#include "http/KeyRecord.h"
#include "http/ReceiptBody.h"
#include "platform/Clock.h"

namespace ruvo::http {

enum class ReceiptState { Queued, Running, Answered };

// The receipts sent over HTTP, kept by their Idempotency-Key. An HTTP receipt becomes a
// receipt file of its own channel ("ONLINE_H<id>.TXT", KeyRecord.h), and the receipt file
// cycle runs it with everything it does for the sales application's files: one at a time
// behind the others, its journal record before the ECR hears of it, its answer saved
// before the file goes, recovery after a crash. What this class adds is the key:
//
//   Submit:  the key's record, durable  ->  the receipt file, renamed into place
//   Keep:    the cycle's answer, structured, into the record, durable, before the cycle
//            takes the receipt file out of its name
//   Advance: the channel's file gone and the record answered  ->  the response file
//            removed (an answer the cycle saved while no server listened, a response
//            file only, is taken from that file)
//
// A key is never sent twice: a repeated request finds its record (the same receipt gets
// the first answer or the state, another receipt is a conflict). A record whose file is
// missing and whose answer never came (a crash between the record and the file) gets its
// file again: the cycle never saw it, since a file it ran leaves its answer before it goes.
// Records live in the folder ".ruvohttp" of the working folder, one file per key, and
// answered ones are forgotten keepDays after their answer, counted both by the wall clock
// and by the driver's own running time (kept in ".ruvohttp/running" across restarts), so
// that a clock stepped forward forgets no key early.
class HttpReceipts final : public IAnswerKeeper {
 public:
  static inline const std::string kFolderName = ".ruvohttp";
  static constexpr std::int64_t kExpiryEveryMs = 60'000;

  HttpReceipts(std::string workingFolder, IClock& clock, int keepDays);

  // Makes the folder and loads the records; false with a reason when the folder cannot be
  // made or read (the server then refuses receipts).
  bool Open(std::string& problem);

  enum class Submitted { Accepted, Repeated, Conflict, NotSaved, Damaged };
  Submitted Submit(const std::string& key, const ReceiptBody& body);

  // The key's record, or null.
  const KeyRecord* Find(const std::string& key) const;
  // The record file of key when it is there but damaged (cut short, changed, not a plain
  // file): the key is refused, never sent again on a guess, and the file is never written
  // over. Empty otherwise.
  std::string DamagedRecordOf(const std::string& key) const;
  // One warning per damaged record file, naming it and what the operator does next.
  std::vector<std::string> DamageWarnings() const;
  std::size_t DamagedCount() const { return damaged_.size(); }
  ReceiptState StateOf(const KeyRecord& record) const;
  // The answer of an answered record.
  static ReceiptAnswer AnswerOf(const KeyRecord& record);

  // Tells which channel the cycle runs now ("" when none): such a receipt is running.
  void SetRunningChannel(std::function<std::string()> running) { running_ = std::move(running); }

  // Takes the answers the cycle left, drops the files a crash kept from their folder, and
  // now and then forgets old keys. Cheap when nothing waits: called at every loop turn.
  void Advance();

  bool Keep(const std::string& suffix, const ReceiptAnswer& answer,
            std::string& failedPath) override;

  // How many receipts wait for their answer.
  std::size_t WaitingCount() const;
  const std::string& RecordFolder() const { return recordFolder_; }

 private:
  std::string RecordPath(const std::string& key) const;
  std::string ReceiptPath(const std::string& key) const;
  std::string AnswerPath(const std::string& key) const;
  bool Save(const KeyRecord& record);
  bool DropReceiptFile(const KeyRecord& record);
  void TakeAnswer(KeyRecord& record);
  void Answer(KeyRecord& record, const ReceiptAnswer& answer);
  void ForgetOld();
  std::int64_t NowS() const;
  // Adds the monotonic time since the last call to the running time; saves it now and then.
  void CountRunningTime(bool save);

  std::string folder_;
  std::string recordFolder_;
  IClock& clock_;
  std::int64_t keepS_;
  std::map<std::string, KeyRecord> records_;
  std::map<std::string, bool> unsaved_;         // answered in memory, record not yet rewritten
  std::set<std::string> responseLeft_;          // answered; their response file still to go
  std::map<std::string, std::string> damaged_;  // key id -> path of its damaged record
  std::function<std::string()> running_;
  std::int64_t lastExpiryMs_ = 0;
  std::int64_t runS_ = 0;          // the driver's running time, all starts together
  std::int64_t runCountedMs_ = 0;  // monotonic ms up to which runS_ counts
  bool expiredOnce_ = false;
};

}  // namespace ruvo::http
