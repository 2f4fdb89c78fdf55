// The end of a delivery: its answer saved (into the journal first, then into the response
// file), the file taken out of its name by its identity, and what a killed or failed end
// left behind settled at the next tick or start.
#include <algorithm>
#include <optional>

#include "app/DeliveryLedger.h"
#include "app/ReceiptDelivery.h"
#include "platform/Files.h"

namespace ruvo {

std::optional<bool> DeliveryLedger::SaveOwedAnswer(const std::string& name) {
  if (PendingAnswer* pending = FindPending(name)) {
    const PendingAnswer known = *pending;
    return SaveKnownAnswer(name, known.stamp, known.delivery, known.answer);
  }
  if (const std::optional<InFlightRecord> record = journal_.Find(name);
      record && record->phase == RunPhase::Answered) {
    return SaveKnownAnswer(name, record->stamp, record->delivery, *record->answer);
  }
  return std::nullopt;
}

bool DeliveryLedger::SaveKnownAnswer(const std::string& name, const std::string& stamp,
                                     const DeliveryId& delivery, const ReceiptAnswer& answer) {
  // The file must still be the one the answer is for; anything else is a new delivery.
  // The same bytes written again into it (a retry in place) are still the one.
  if (guard_.MatchSettled(state_.workingFolder, name, delivery) != DeliveryMatch::Same) {
    DropPending(name);
    Housekeep();
    return false;
  }
  CurrentFile& file = File();
  file.run.stamp = stamp;
  const std::string response = ResponseFileName(file.run.suffix);
  std::optional<InFlightRecord> record = journal_.Find(name);
  if (record && record->phase != RunPhase::Answered) {
    // The number of a receipt closed in this run, whose closed phase waited for this save.
    if (file.record && file.record->name == name) {
      record->receiptNumber = file.record->receiptNumber;
    }
    record->phase = RunPhase::Answered;
    record->answer = answer;
    const bool saved = journal_.Put(*record);
    SetTrouble(SaveTroubles::Cause::Journal,
               JoinPath(state_.workingFolder, InFlightJournal::kFileName), !saved);
    if (!saved) return false;
  }
  const bool written = file.response.Save(answer.lines);
  SetTrouble(SaveTroubles::Cause::Answer, response, !written);
  // The HTTP side keeps the answer it owes before the file goes: a crash after this finds
  // it there, one before finds the answer again in the journal.
  std::string keeperPath;
  const bool kept =
      !written || keeper_ == nullptr || keeper_->Keep(file.run.suffix, answer, keeperPath);
  if (!kept) {
    SetTrouble(SaveTroubles::Cause::KeptAnswer, keeperPath, true);
  } else if (written && troubles_.Clear(SaveTroubles::Cause::KeptAnswer)) {
    // The keeper's records live in one place: one kept means it takes them again.
    WarningsChanged();
  }
  if (!written || !kept) {
    if (std::find(answerFailed_.begin(), answerFailed_.end(), name) == answerFailed_.end()) {
      answerFailed_.push_back(name);
    }
    return false;
  }
  FinishDelivery(name, stamp, delivery);
  return true;
}

void DeliveryLedger::Conclude(const std::string& name) {
  CurrentFile& file = File();
  if (file.waitUnanswered || !file.response.Written()) {
    // Nothing was answered: the file waits as it is. A claim made only for this tick is
    // given up; the record of a run that reached the ECR keeps its pin, and the receipt
    // number of one that closed its receipt.
    SaveClosedPhase();
    if (file.delivery) ReleaseIfUnused(*file.delivery);
    return;
  }
  if (!file.delivery) {
    // The file was never claimed (it could not be read): it is answered and removed the
    // way a file with no record of any run is.
    if (!file.response.SaveHeld()) {
      SetTrouble(SaveTroubles::Cause::Answer, ResponseFileName(file.run.suffix), true);
      return;
    }
    SetTrouble(SaveTroubles::Cause::Answer, ResponseFileName(file.run.suffix), false);
    guard_.DeletePatiently(JoinPath(state_.workingFolder, name));
    return;
  }
  pending_.push_back(PendingAnswer{name, file.run.stamp, *file.delivery, file.response.Answer()});
  const PendingAnswer known = pending_.back();
  if (!SaveKnownAnswer(name, known.stamp, known.delivery, known.answer)) return;
}

void DeliveryLedger::FinishDelivery(const std::string& name, const std::string& stamp,
                                    const DeliveryId& delivery) {
  const std::string& folder = state_.workingFolder;
  const MoveOutcome moved = guard_.MoveOut(folder, name, delivery);
  if (moved == MoveOutcome::Stuck) {
    const bool saved = guard_.Remember(name, delivery);
    SetTrouble(SaveTroubles::Cause::Journal, JoinPath(folder, InFlightJournal::kFileName), !saved);
    if (saved) DropPending(name);
    WarningsChanged();
    return;
  }
  // The record goes before the file: a record left by a crash now finds the leaving
  // file or nothing, never a later file under the name.
  if (journal_.Find(name) && !journal_.Remove(name)) {
    SetTrouble(SaveTroubles::Cause::Journal, JoinPath(folder, InFlightJournal::kFileName), true);
    DropPending(name);
    return;
  }
  DropPending(name);
  std::erase(answerFailed_, name);
  if (moved == MoveOutcome::Moved) {
    guard_.RemoveLeaving(folder, name, stamp, delivery);
  } else {
    ReleaseIfUnused(delivery);
  }
}

DeliveryLedger::PendingAnswer* DeliveryLedger::FindPending(const std::string& name) {
  for (PendingAnswer& p : pending_) {
    if (p.name == name) return &p;
  }
  return nullptr;
}

void DeliveryLedger::DropPending(const std::string& name) {
  std::erase_if(pending_, [&](const PendingAnswer& p) { return p.name == name; });
}

void DeliveryLedger::ReleaseIfUnused(const DeliveryId& delivery) {
  for (const InFlightRecord& r : journal_.Records()) {
    if (r.delivery.token == delivery.token) return;
  }
  for (const ExecutedFile& e : journal_.Executed()) {
    if (e.delivery.token == delivery.token) return;
  }
  for (const PendingAnswer& p : pending_) {
    if (p.delivery.token == delivery.token) return;
  }
  live_.Forget(delivery.token);
  ReleasePin(state_.workingFolder, delivery, files_);
}

void DeliveryLedger::Housekeep() {
  const std::vector<InFlightRecord> records = journal_.Records();
  for (const InFlightRecord& record : records) HousekeepRecord(record);
  const std::vector<PendingAnswer> pending = pending_;
  for (const PendingAnswer& p : pending) {
    if (journal_.Find(p.name)) continue;
    if (MatchDelivery(state_.workingFolder, p.name, p.delivery) != DeliveryMatch::Same) {
      DropPending(p.name);
      ReleaseIfUnused(p.delivery);
    }
  }
  const std::size_t remembered = journal_.Executed().size();
  guard_.ForgetGone(state_.workingFolder);
  if (journal_.Executed().size() != remembered) WarningsChanged();
}

void DeliveryLedger::HousekeepRecord(const InFlightRecord& record) {
  const std::string& folder = state_.workingFolder;
  const std::string leaving = LeavingName(record.delivery.token, record.name);
  if (files_.Exists(JoinPath(folder, leaving))) {
    if (MatchDelivery(folder, leaving, record.delivery) == DeliveryMatch::Same) {
      // Taken out of its name after its answer was saved: only the forgetting was left.
      const bool removed = journal_.Remove(record.name);
      SetTrouble(SaveTroubles::Cause::Journal, JoinPath(folder, InFlightJournal::kFileName),
                 !removed);
      if (removed) guard_.RemoveLeaving(folder, record.name, record.stamp, record.delivery);
      return;
    }
    // A later file caught in the rename: it gets its name back.
    files_.Rename(JoinPath(folder, leaving), JoinPath(folder, record.name));
  }
  if (FindPending(record.name) != nullptr) return;
  // A record whose file is gone belongs to a run that was answered (or given up by the
  // sales application): there is nobody left to answer. Whatever stands under the name
  // now is another delivery, unless it holds the bytes of a run never answered: its pin
  // was lost, and the recovery asks the ECR about it.
  const DeliveryMatch match = MatchDelivery(folder, record.name, record.delivery);
  if (match == DeliveryMatch::Other && !live_.Has(record.delivery) &&
      HoldsUnansweredRun(folder, record)) {
    return;
  }
  if (match != DeliveryMatch::Same && journal_.Remove(record.name)) {
    ReleaseIfUnused(record.delivery);
  }
}

void DeliveryLedger::RemoveStrayPrivateFiles() {
  if (!journal_.Ready()) return;
  const std::string& folder = state_.workingFolder;
  auto referenced = [&](const std::string& token) {
    for (const InFlightRecord& r : journal_.Records()) {
      if (r.delivery.token == token) return true;
    }
    for (const ExecutedFile& e : journal_.Executed()) {
      if (e.delivery.token == token) return true;
    }
    for (const PendingAnswer& p : pending_) {
      if (p.delivery.token == token) return true;
    }
    return false;
  };
  // Leaving files first, while their pins still tell whose they are.
  for (const std::string& name : ListMatching(folder, ".ruvodrv-done-*")) {
    const auto parts = LeavingParts(name);
    if (!parts || referenced(parts->first)) continue;
    const std::string path = JoinPath(folder, name);
    const std::optional<FileOrigin> pin = OriginOf(JoinPath(folder, PinName(parts->first)));
    const std::optional<FileOrigin> file = OriginOf(path);
    if (pin && file && (pin->device != file->device || pin->inode != file->inode)) {
      // Not the file that ran: one that arrived at that moment, given its name back.
      files_.Rename(path, JoinPath(folder, parts->second));
      continue;
    }
    // Only an answered file is ever taken out of its name.
    files_.Delete(path);
  }
  for (const std::string& name : ListMatching(folder, ".ruvodrv-pin-*")) {
    const std::optional<std::string> token = PinToken(name);
    if (token && !referenced(*token)) files_.Delete(JoinPath(folder, name));
  }
}

}  // namespace ruvo
