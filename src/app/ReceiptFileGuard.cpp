#include "app/ReceiptFileGuard.h"

#include "app/ReceiptFileReader.h"
#include "platform/FileIdentity.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Sha256.h"

namespace ruvo {

bool PosixFileOperations::Delete(const std::string& path) { return DeleteFile(path); }

bool PosixFileOperations::Rename(const std::string& from, const std::string& to) {
  return RenameNoReplace(from, to);
}

bool PosixFileOperations::Exists(const std::string& path) { return FileExists(path); }

bool PosixFileOperations::Link(const std::string& from, const std::string& to) {
  return HardLink(from, to);
}

std::string AsideName(const std::string& name, const std::string& stamp, int attempt) {
  std::string aside = "EXECUTAT_" + stamp + "_" + name;
  if (attempt > 0) aside += "_" + std::to_string(attempt);
  return aside;
}

std::optional<std::string> FileSha256(const std::string& path) {
  const std::optional<std::string> bytes = ReadFileBytes(path);
  if (!bytes) return std::nullopt;
  return Sha256Hex(*bytes);
}

ReceiptFileGuard::ReceiptFileGuard(IFileOperations& files, IClock& clock, InFlightJournal& journal)
    : files_(files), clock_(clock), journal_(journal) {}

bool ReceiptFileGuard::IsSkipped(const std::string& folder, const std::string& name) {
  for (const ExecutedFile& executed : journal_.Executed()) {
    if (executed.name != name) continue;
    if (MatchDelivery(folder, name, executed.delivery) == DeliveryMatch::Same) return true;
    const DeliveryId id = executed.delivery;
    if (journal_.RemoveExecuted(name)) ReleasePin(folder, id, files_);
    RebuildWarnings();
    return false;
  }
  return false;
}

void ReceiptFileGuard::ForgetGone(const std::string& folder) {
  std::vector<std::string> names;
  for (const ExecutedFile& executed : journal_.Executed()) names.push_back(executed.name);
  for (const std::string& name : names) IsSkipped(folder, name);
}

MoveOutcome ReceiptFileGuard::MoveOut(const std::string& folder, const std::string& name,
                                      const DeliveryId& id) {
  const std::string path = JoinPath(folder, name);
  const std::string leaving = JoinPath(folder, LeavingName(id.token, name));
  MatchSettled(folder, name, id);
  const std::int64_t start = clock_.MonotonicMs();
  for (;;) {
    if (MatchDelivery(folder, name, id) != DeliveryMatch::Same) return MoveOutcome::NotThere;
    if (files_.Rename(path, leaving)) {
      if (MatchDelivery(folder, LeavingName(id.token, name), id) == DeliveryMatch::Same) {
        return MoveOutcome::Moved;
      }
      // Another file was renamed in between the check and the rename: it goes back.
      if (!files_.Rename(leaving, path)) {
        Log(LogLevel::Warning,
            name + " arrived while the one before it was removed; it waits as " + leaving);
      }
      return MoveOutcome::NotThere;
    }
    if (clock_.MonotonicMs() - start >= kDeleteRetryMs) break;
    // A short pause rather than a tight loop: the clock must move for the retry to end.
    clock_.SleepMs(kDeleteRetryPauseMs);
  }
  // A folder that lets nothing be renamed may still let a file be deleted.
  if (MatchDelivery(folder, name, id) == DeliveryMatch::Same && files_.Delete(path) &&
      !files_.Exists(path)) {
    return MoveOutcome::NotThere;
  }
  return MoveOutcome::Stuck;
}

DeliveryMatch ReceiptFileGuard::MatchSettled(const std::string& folder, const std::string& name,
                                             const DeliveryId& id) {
  const DeliveryMatch match = MatchDelivery(folder, name, id);
  if (match != DeliveryMatch::Other || !AwaitRewrite(folder, name, id)) return match;
  return MatchDelivery(folder, name, id);
}

bool ReceiptFileGuard::AwaitRewrite(const std::string& folder, const std::string& name,
                                    const DeliveryId& id) {
  const std::string path = JoinPath(folder, name);
  const std::optional<FileOrigin> now = OriginOf(path);
  std::optional<FileOrigin> own;
  if (id.pinned) {
    own = OriginOf(JoinPath(folder, PinName(id.token)));
  } else if (id.origin.inode != 0) {
    own = id.origin;
  }
  if (!now || !own || now->device != own->device || now->inode != own->inode) return false;
  const std::int64_t start = clock_.MonotonicMs();
  std::optional<FileIdentity> seen = IdentityOf(path);
  std::int64_t quietSince = start;
  while (clock_.MonotonicMs() - start < kRewriteWaitMs) {
    if (MatchDelivery(folder, name, id) == DeliveryMatch::Same) break;
    const std::optional<FileIdentity> identity = IdentityOf(path);
    if (!(identity == seen) || IsOpenForWriting(path)) {
      seen = identity;
      quietSince = clock_.MonotonicMs();
    } else if (clock_.MonotonicMs() - quietSince >= kRewriteQuietMs) {
      break;  // left alone with other bytes: another receipt written into it
    }
    clock_.SleepMs(kDeleteRetryPauseMs);
  }
  return true;
}

void ReceiptFileGuard::RemoveLeaving(const std::string& folder, const std::string& name,
                                     const std::string& stamp, const DeliveryId& id) {
  const std::string leaving = JoinPath(folder, LeavingName(id.token, name));
  if (!DeletePatiently(leaving)) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string aside = JoinPath(folder, AsideName(name, stamp, attempt));
      if (files_.Exists(aside)) continue;
      if (files_.Rename(leaving, aside)) {
        Log(LogLevel::Warning, name + " could not be deleted; renamed to " + aside);
      }
      break;
    }
  }
  ReleasePin(folder, id, files_);
}

bool ReceiptFileGuard::DeletePatiently(const std::string& path) {
  const std::int64_t start = clock_.MonotonicMs();
  for (;;) {
    if (!files_.Exists(path) || (files_.Delete(path) && !files_.Exists(path))) return true;
    if (clock_.MonotonicMs() - start >= kDeleteRetryMs) return false;
    clock_.SleepMs(kDeleteRetryPauseMs);
  }
}

bool ReceiptFileGuard::Remember(const std::string& name, const DeliveryId& id) {
  Log(LogLevel::Warning, name +
                             " was executed but can be neither deleted nor renamed; it will not "
                             "run again while it stays");
  const bool saved = journal_.MoveToExecuted(ExecutedFile{name, id});
  RebuildWarnings();
  return saved;
}

void ReceiptFileGuard::RebuildWarnings() {
  warnings_.clear();
  for (const ExecutedFile& e : journal_.Executed()) {
    warnings_.push_back("Atentie ! Fisierul " + e.name +
                        " a fost executat dar nu poate fi sters !");
  }
}

}  // namespace ruvo
