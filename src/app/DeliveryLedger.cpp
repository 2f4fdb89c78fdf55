#include "app/DeliveryLedger.h"

#include <algorithm>
#include <utility>

#include "app/ResponseFile.h"
#include "platform/FileIdentity.h"
#include "platform/Files.h"
#include "platform/Sha256.h"

namespace ruvo {

bool HoldsUnansweredRun(const std::string& folder, const InFlightRecord& record) {
  // Only a run that reached the ECR and was never answered: any other file runs like a
  // new one.
  if (record.phase == RunPhase::Preparing || record.phase == RunPhase::Answered) return false;
  const std::string path = JoinPath(folder, record.name);
  const std::optional<FileIdentity> identity = IdentityOf(path);
  const std::optional<std::string> bytes = ReadFileBytes(path);
  return identity && identity->regular && bytes && Sha256Hex(*bytes) == record.delivery.sha256;
}

std::vector<std::string> NamesInFlight(const std::vector<InFlightRecord>& records,
                                       const std::vector<ExecutedFile>& executed,
                                       const std::vector<std::string>& owed) {
  std::vector<std::string> names;
  auto keep = [&](const std::string& name) {
    names.push_back(name);
    names.push_back(ResponseFileName(ReceiptSuffix(name)));
  };
  for (const InFlightRecord& r : records) keep(r.name);
  for (const ExecutedFile& e : executed) keep(e.name);
  for (const std::string& name : owed) keep(name);
  return names;
}

void LiveDeliveries::Mark(const std::string& token) {
  if (std::find(tokens_.begin(), tokens_.end(), token) == tokens_.end()) tokens_.push_back(token);
}

bool LiveDeliveries::Has(const DeliveryId& delivery) const {
  return std::find(tokens_.begin(), tokens_.end(), delivery.token) != tokens_.end();
}

void LiveDeliveries::Forget(const std::string& token) { std::erase(tokens_, token); }

DeliveryLedger::DeliveryLedger(DriverState& state, IClock& clock, IFileOperations& files,
                               IReceiptExecution& execution, std::function<void()> warningsChanged)
    : state_(state),
      clock_(clock),
      files_(files),
      execution_(execution),
      warningsChanged_(std::move(warningsChanged)),
      journal_(state.workingFolder),
      guard_(files, clock, journal_) {}

std::string DeliveryLedger::JournalPath() const {
  return JoinPath(state_.workingFolder, InFlightJournal::kFileName);
}

bool DeliveryLedger::JournalReady() {
  const bool ready = journal_.Ready();
  const bool damaged = journal_.Damaged();
  const std::string journalPath = JournalPath();
  SetTrouble(SaveTroubles::Cause::JournalUnreadable, journalPath, !ready && !damaged);
  if (damaged) {
    SetTrouble(SaveTroubles::Cause::JournalDamaged,
               journalPath + " (copie: " + journal_.AsideName() + ")", true);
  } else if (troubles_.Clear(SaveTroubles::Cause::JournalDamaged)) {
    WarningsChanged();
  }
  return ready;
}

std::vector<InFlightRecord> DeliveryLedger::Records() { return journal_.Records(); }

bool DeliveryLedger::HasRecord(const std::string& name) { return journal_.Find(name).has_value(); }

bool DeliveryLedger::AnswerOwed(const std::string& name) {
  if (FindPending(name) != nullptr) return true;
  const std::optional<InFlightRecord> record = journal_.Find(name);
  return record && record->phase == RunPhase::Answered;
}

std::vector<std::string> DeliveryLedger::OwedNames(const std::vector<InFlightRecord>& records) {
  auto contains = [](const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  std::vector<std::string> owed;
  for (const InFlightRecord& record : records) {
    if (AnswerOwed(record.name)) owed.push_back(record.name);
  }
  for (const PendingAnswer& p : pending_) {
    if (!contains(owed, p.name)) owed.push_back(p.name);
  }
  return owed;
}

bool DeliveryLedger::AnswerFailed(const std::string& name) const {
  return std::find(answerFailed_.begin(), answerFailed_.end(), name) != answerFailed_.end();
}

bool DeliveryLedger::IsSkipped(const std::string& name) {
  return guard_.IsSkipped(state_.workingFolder, name);
}

bool DeliveryLedger::Holds(const std::string& name) {
  return FindPending(name) != nullptr || journal_.Find(name);
}

bool DeliveryLedger::ReadyToRun() {
  if (!troubles_.Has(SaveTroubles::Cause::Journal)) return true;
  // Tried again quietly before anything of the file is read or copied.
  const bool saved = journal_.Flush();
  SetTrouble(SaveTroubles::Cause::Journal, JournalPath(), !saved);
  if (!saved) File().waitUnanswered = true;
  return saved;
}

bool DeliveryLedger::Claim(const std::string& name, const ReceiptFileContent& read) {
  CurrentFile& file = File();
  if (const std::optional<InFlightRecord> record = journal_.Find(name)) {
    const DeliveryId& known = record->delivery;
    const std::optional<FileOrigin> origin =
        OriginOf(JoinPath(state_.workingFolder, known.pinned ? PinName(known.token) : name));
    if (known.sha256 == read.sha256 && origin && origin->device == read.identity.device &&
        origin->inode == read.identity.inode) {
      live_.Mark(known.token);
      file.delivery = known;
      return true;
    }
  }
  file.delivery = ClaimDelivery(state_.workingFolder, name, read.identity, read.sha256, files_);
  if (!file.delivery) {
    // Changed since it was read: it is read again on the next tick.
    file.waitUnanswered = true;
    return false;
  }
  live_.Mark(file.delivery->token);
  return true;
}

bool DeliveryLedger::RecordRun(const std::string& name, FileKind kind, int port) {
  CurrentFile& file = File();
  const std::optional<InFlightRecord> earlier = journal_.Find(name);
  InFlightRecord record;
  record.name = name;
  record.delivery = *file.delivery;
  record.stamp = file.run.stamp;
  record.kind = kind;
  record.phase = RunPhase::Preparing;
  record.port = port == 0 ? 1 : port;
  const bool saved = journal_.Put(record);
  SetTrouble(SaveTroubles::Cause::Journal, JournalPath(), !saved);
  if (!saved) {
    // Without its record a crash could print the file twice; it waits unanswered.
    file.waitUnanswered = true;
    return false;
  }
  file.record = record;
  file.reachedEcr = true;
  if (earlier && earlier->delivery.token != file.delivery->token)
    ReleaseIfUnused(earlier->delivery);
  return true;
}

bool DeliveryLedger::WriteRecord(RunPhase phase, const std::string& receiptNumber,
                                 const std::optional<EcrMark>& mark) {
  if (!file_ || !file_->record) return true;
  InFlightRecord moved = *file_->record;
  moved.phase = phase;
  moved.receiptNumber = receiptNumber;
  if (mark) moved.mark = mark;
  if (phase == RunPhase::Closed) {
    // Nothing more goes to the ECR: the answer's record, saved before the response, says
    // all this one would, one flush later. A crash in between is settled from the closing
    // phase, by asking the ECR, as a crash just before this save would be.
    file_->record = moved;
    file_->closedUnsaved = true;
    return true;
  }
  const bool saved = journal_.Put(moved);
  SetTrouble(SaveTroubles::Cause::Journal, JournalPath(), !saved);
  if (!saved) {
    // The file waits unanswered; its record on the disk says where it was before.
    file_->waitUnanswered = true;
    return false;
  }
  file_->record = moved;
  return true;
}

void DeliveryLedger::SaveClosedPhase() {
  if (!file_ || !file_->closedUnsaved || !file_->record) return;
  file_->closedUnsaved = false;
  const bool saved = journal_.Put(*file_->record);
  SetTrouble(SaveTroubles::Cause::Journal, JournalPath(), !saved);
}

std::optional<std::vector<std::string>> DeliveryLedger::NamesToKeep() {
  // What the ledger holds in flight, and its answer, is no waiting file: deleting it would
  // lose an answer owed or, with its record gone, print it again.
  if (!journal_.Ready()) return std::nullopt;
  std::vector<std::string> owed;
  for (const PendingAnswer& p : pending_) owed.push_back(p.name);
  return NamesInFlight(journal_.Records(), journal_.Executed(), owed);
}

void DeliveryLedger::AfterCleanup() {
  // A killed run's private files go; what they stood for is in the journal.
  Housekeep();
  RemoveStrayPrivateFiles();
  // What the journal remembers from before a restart is shown from the start.
  guard_.RebuildWarnings();
}

void DeliveryLedger::SetTrouble(SaveTroubles::Cause cause, const std::string& subject,
                                bool failing) {
  if (troubles_.Set(cause, subject, failing)) WarningsChanged();
}

std::vector<std::string> DeliveryLedger::WarningLines() const {
  std::vector<std::string> lines = guard_.WarningLines();
  lines.insert(lines.end(), recoveryNotes_.begin(), recoveryNotes_.end());
  const std::vector<std::string> troubles = troubles_.WarningLines();
  lines.insert(lines.end(), troubles.begin(), troubles.end());
  return lines;
}

}  // namespace ruvo
