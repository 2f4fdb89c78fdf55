#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/InFlightJournal.h"
#include "app/ReceiptDelivery.h"
#include "platform/Clock.h"

namespace ruvo {

// The file operations the cycle changes the working folder with. Tests put in one that
// refuses, since as root the folder's permissions do not stop a deletion.
class IFileOperations {
 public:
  virtual ~IFileOperations() = default;
  // True when the file is gone afterwards (also when it never existed).
  virtual bool Delete(const std::string& path) = 0;
  // Renames without replacing an existing file; true on success.
  virtual bool Rename(const std::string& from, const std::string& to) = 0;
  virtual bool Exists(const std::string& path) = 0;
  // A second name for the file (a hard link); false where none can be made.
  virtual bool Link(const std::string& from, const std::string& to) = 0;
};

class PosixFileOperations final : public IFileOperations {
 public:
  bool Delete(const std::string& path) override;
  bool Rename(const std::string& from, const std::string& to) override;
  bool Exists(const std::string& path) override;
  bool Link(const std::string& from, const std::string& to) override;
};

// How a receipt file left its name after its run.
//   Moved: renamed to its leaving name (LeavingName), to be removed once nothing needs it.
//   NotThere: the name no longer holds the file that ran (gone, or another file stands
//     there, which is left to run next).
//   Stuck: it can be neither renamed nor deleted; it stays.
enum class MoveOutcome { Moved, NotThere, Stuck };

// A receipt file is executed once: a second run would sell the same goods twice. The
// guard takes each file out of its name after its run, by its identity: it is renamed to
// a private name first and only then removed, so a file renamed in under the same name in
// the meantime is never deleted unprinted. A file that cannot be taken out is remembered
// in the journal (so it survives a restart) and not picked up again while that same file
// stands there; once it is gone or replaced, the memory and its warning go.
class ReceiptFileGuard {
 public:
  static constexpr std::int64_t kDeleteRetryMs = 2000;
  static constexpr std::int64_t kDeleteRetryPauseMs = 50;
  // A file of the delivery's own inode with other bytes may be the sales application
  // writing the same receipt again in place (truncated, then written): it is waited for
  // until it has been left alone this long, for at most kRewriteWaitMs.
  static constexpr std::int64_t kRewriteQuietMs = 500;
  static constexpr std::int64_t kRewriteWaitMs = 5000;

  ReceiptFileGuard(IFileOperations& files, IClock& clock, InFlightJournal& journal);

  // True when the file under name is one that ran but could not be removed. One that
  // is gone or replaced is forgotten (its warning withdrawn).
  bool IsSkipped(const std::string& folder, const std::string& name);
  // Forgets every remembered file that no longer stands under its name.
  void ForgetGone(const std::string& folder);

  // Whether the file under name is the delivery id (MatchDelivery), waiting first for a
  // rewrite of its own inode still under way (kRewriteQuietMs).
  DeliveryMatch MatchSettled(const std::string& folder, const std::string& name,
                             const DeliveryId& id);
  // Renames the file that ran (id) from name to its leaving name, retrying for 2 seconds.
  // The same bytes written again into the same file during the run are the same delivery;
  // a rewrite still under way is waited for (kRewriteQuietMs).
  MoveOutcome MoveOut(const std::string& folder, const std::string& name, const DeliveryId& id);
  // Removes the leaving file of id; one that will not go is renamed to AsideName, where
  // the operator sees it. Then the pin goes.
  void RemoveLeaving(const std::string& folder, const std::string& name, const std::string& stamp,
                     const DeliveryId& id);
  // Remembers a Stuck file in the journal (replacing its record, if any), so that it is
  // not run again; false when the journal could not be saved.
  bool Remember(const std::string& name, const DeliveryId& id);
  // Deletes path, trying again for kDeleteRetryMs, so that a passing failure does not keep
  // an answered file; true when it is gone.
  bool DeletePatiently(const std::string& path);

  // The warning lines of the files remembered, for the warning box.
  const std::vector<std::string>& WarningLines() const { return warnings_; }
  // Rebuilds them from the journal (after a restart).
  void RebuildWarnings();

 private:
  // Waits while the file at name is the delivery's inode with other bytes and changes or
  // is held open for writing; true when it was such a file.
  bool AwaitRewrite(const std::string& folder, const std::string& name, const DeliveryId& id);

  IFileOperations& files_;
  IClock& clock_;
  InFlightJournal& journal_;
  std::vector<std::string> warnings_;
};

// The SHA-256 of the file's bytes now; nullopt when it cannot be read.
std::optional<std::string> FileSha256(const std::string& path);

// The name a receipt file that could not be deleted is renamed to:
// "EXECUTAT_" + stamp + "_" + name (+ "_" + n when taken). It begins with neither
// "ONLINE" nor "ERROR", so neither the driver nor a sales application watching for its
// own files takes it for a waiting receipt or for an answer.
std::string AsideName(const std::string& name, const std::string& stamp, int attempt);

}  // namespace ruvo
