// A receipt file whose run a crash or a power cut interrupted: its record in the journal
// says how far the run had come, the ECR says what became of its receipt, and the file is
// answered or run again accordingly, never printed twice.
#include <algorithm>

#include "app/DeliveryLedger.h"
#include "app/ReceiptFileGuard.h"
#include "platform/FileIdentity.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Sha256.h"
#include "platform/TimeFormat.h"

namespace ruvo {

namespace {

// The warning box keeps the latest few; the log files keep everything.
constexpr std::size_t kRecoveryNotesShown = 5;

const char* PhaseText(RunPhase phase) {
  switch (phase) {
    case RunPhase::Preparing:
      return "la verificarea casei de marcat";
    case RunPhase::Lines:
      return "in timpul liniilor bonului";
    case RunPhase::Closing:
      return "la inchiderea bonului";
    case RunPhase::Closed:
      return "dupa inchiderea bonului";
    case RunPhase::Answered:
      return "dupa raspuns";
  }
  return "";
}

}  // namespace

void DeliveryLedger::Note(const std::string& name, const std::string& text,
                          std::vector<std::string>& log) {
  log.push_back(FormatLogTime(clock_.Now()) + " " + text);
  const std::string line = "Atentie ! Fisierul " + name + " : " + text;
  // A silent ECR is asked again every tick: its notes are shown and said once.
  if (std::find(recoveryNotes_.begin(), recoveryNotes_.end(), line) != recoveryNotes_.end()) return;
  Log(LogLevel::Warning, name + ": " + text);
  recoveryNotes_.push_back(line);
  if (recoveryNotes_.size() > kRecoveryNotesShown) recoveryNotes_.erase(recoveryNotes_.begin());
  WarningsChanged();
}

void DeliveryLedger::AnswerRecovered(const std::string& name, const std::string& text,
                                     std::vector<std::string>& log) {
  Note(name, "raspuns " + text, log);
  File().response.WriteResponse(text);
}

std::optional<InFlightRecord> DeliveryLedger::Reclaimed(const std::string& name,
                                                        const InFlightRecord& record) {
  if (!HoldsUnansweredRun(state_.workingFolder, record)) return std::nullopt;
  const std::optional<FileIdentity> identity = IdentityOf(JoinPath(state_.workingFolder, name));
  if (!identity) return std::nullopt;
  // The bytes of the run the record holds, under its name, but not the file it pinned: the
  // pin was lost (deleted, or the folder copied without its links). Taken for a new
  // receipt it would print again; the record stands for it, and the ECR says what became
  // of its receipt. The file gets a pin of its own, saved in the record before anything.
  InFlightRecord kept = record;
  const std::optional<DeliveryId> claimed =
      ClaimDelivery(state_.workingFolder, name, *identity, record.delivery.sha256, files_);
  kept.delivery = claimed ? *claimed : DeliveryId{};
  if (!claimed || !journal_.Put(kept)) {
    if (claimed) ReleasePin(state_.workingFolder, *claimed, files_);
    kept.delivery = DeliveryId{};
    return kept;
  }
  live_.Mark(kept.delivery.token);
  std::vector<std::string> log;
  Note(name, "fisierul nu mai este cel fixat la inceput; are continutul inregistrat", log);
  ReleaseIfUnused(record.delivery);
  return kept;
}

DeliveryLedger::RecoveryStep DeliveryLedger::RecoverInterrupted(const std::string& name,
                                                                std::vector<std::string>& log) {
  std::optional<InFlightRecord> record = journal_.Find(name);
  if (!record) return RecoveryStep::RunNormally;
  if (MatchDelivery(state_.workingFolder, name, record->delivery) != DeliveryMatch::Same) {
    std::optional<InFlightRecord> kept =
        live_.Has(record->delivery) ? std::nullopt : Reclaimed(name, *record);
    if (!kept) {
      // Another file under the same name: a new receipt, which runs like any other.
      if (journal_.Remove(name)) ReleaseIfUnused(record->delivery);
      return RecoveryStep::RunNormally;
    }
    if (kept->delivery.token.empty()) return RecoveryStep::Wait;  // not saved yet
    record = std::move(kept);
  } else {
    live_.Mark(record->delivery.token);
  }
  // Nothing of the file had reached the ECR.
  if (record->phase == RunPhase::Preparing) return RecoveryStep::RunNormally;

  CurrentFile& file = File();
  file.run.stamp = FormatFileStamp(clock_.Now());
  file.delivery = record->delivery;
  Note(name, std::string("executie intrerupta ") + PhaseText(record->phase), log);

  if (record->kind == FileKind::Other) {
    AnswerRecovered(name, kInterruptedRun, log);
    return RecoveryStep::Answered;
  }
  if (record->phase == RunPhase::Closed && !record->receiptNumber.empty()) {
    file.run.response.fiscalReceiptNumber = record->receiptNumber;
    AnswerRecovered(name, kResponseOk, log);
    return RecoveryStep::Answered;
  }

  file.record = record;
  const SaleSettlement settled =
      execution_.SettleInterruptedSale(state_.settings, *record, phases_, log);
  for (const std::string& note : settled.notes) Note(name, note, log);
  switch (settled.outcome) {
    case SaleSettlement::Outcome::EcrSilent:
      // The file and its record wait; the next tick asks again.
      return RecoveryStep::Wait;
    case SaleSettlement::Outcome::RunAgain:
      file.recoveryLog = std::move(log);
      return RecoveryStep::RunNormally;
    case SaleSettlement::Outcome::Finished:
      if (!settled.receiptNumber.empty())
        file.run.response.fiscalReceiptNumber = settled.receiptNumber;
      AnswerRecovered(name, kResponseOk, log);
      return RecoveryStep::Answered;
    case SaleSettlement::Outcome::Refused:
      file.run.response.pendingReceiptState = settled.pendingState;
      AnswerRecovered(name, settled.error, log);
      return RecoveryStep::Answered;
  }
  return RecoveryStep::Wait;
}

}  // namespace ruvo
