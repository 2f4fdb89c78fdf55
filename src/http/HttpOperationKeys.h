#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "console/ControlCommandsKeyed.h"
#include "http/KeyRecord.h"
#include "platform/Clock.h"

namespace ruvo::http {

// The operation keys' records (console/ControlCommandsKeyed), kept as the HTTP receipts'
// keys are: one KeyRecord a key in the working folder's ".ruvohttp", written whole and
// atomically, forgotten keepDays after its answer. An operation's record is
// "<id>.op" beside the receipts' "<id>.key": the keys of operations and of receipts are
// apart, and a receipt's record is never read as an operation's or the other way round.
//
// In the KeyRecord, "receipt" holds the operation (its arguments, a line each after their
// count) and what the ECR's daily totals showed before it; "answer" holds the answer.
class HttpOperationKeys : public OperationKeyStore {
 public:
  static inline const std::string kRecordSuffix = ".op";
  static constexpr std::int64_t kExpiryEveryMs = 60'000;

  HttpOperationKeys(std::string workingFolder, IClock& clock, int keepDays);

  // The store of a working folder, with "ZilePastrareHttp" of its settings; the records
  // there are loaded (the folder is made at the first record).
  static std::unique_ptr<HttpOperationKeys> Load(const std::string& workingFolder, IClock& clock);

  bool ValidKey(const std::string& key) const override { return http::ValidKey(key); }
  std::optional<OperationKeyRecord> Find(const std::string& key) override;
  // The record is kept in memory whatever the disk says; true when it is on disk.
  bool Save(const OperationKeyRecord& record) override;
  void Forget(const std::string& key) override;

  // The record of an operation in a KeyRecord's bytes, and back; nullopt for bytes that
  // are not one.
  static std::string EncodeOperation(const OperationKeyRecord& record);
  static std::optional<OperationKeyRecord> DecodeOperation(const KeyRecord& stored);

 private:
  std::string RecordPath(const std::string& key) const;
  void ReadRecords();
  void ForgetOld();
  std::int64_t NowS() const { return clock_.FileTimeNowNs() / 1'000'000'000; }

  std::string recordFolder_;
  IClock& clock_;
  std::int64_t keepS_;
  std::map<std::string, KeyRecord> records_;
  std::int64_t lastExpiryMs_ = 0;
  bool expiredOnce_ = false;
};

}  // namespace ruvo::http
