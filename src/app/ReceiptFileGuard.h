#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/InFlightJournal.h"
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
};

class PosixFileOperations final : public IFileOperations {
 public:
  bool Delete(const std::string& path) override;
  bool Rename(const std::string& from, const std::string& to) override;
  bool Exists(const std::string& path) override;
};

// How a receipt file left the working folder after its run.
// Replaced: the name holds other bytes than the ones that ran, left to run next.
enum class RemovalOutcome { Deleted, RenamedAside, Remembered, Replaced };

// A receipt file is executed once: a second run would sell the same goods twice. The
// guard removes each file after its run and, when the file cannot be removed, keeps it
// from being picked up again while it holds the bytes that ran. A file is told from
// another by its bytes (SHA-256) only: a copy tool or a network share may change its time
// stamp or inode without changing the receipt. What it remembers is kept in the journal,
// so it survives a restart.
class ReceiptFileGuard {
 public:
  static constexpr std::int64_t kDeleteRetryMs = 2000;
  static constexpr std::int64_t kDeleteRetryPauseMs = 50;

  ReceiptFileGuard(IFileOperations& files, IClock& clock, InFlightJournal& journal);

  // True when the file is one that ran but could not be removed and still holds the same
  // bytes. A changed or vanished file is forgotten (and its warning withdrawn).
  bool IsSkipped(const std::string& folder, const std::string& name);

  // Deletes the file, retrying for 2 seconds. When it stays, renames it aside to a name
  // ONLINE*.TXT does not match; when even that fails, remembers its bytes and warns.
  // ranSha256 is the digest of the bytes that ran: when the name now holds other bytes
  // (the sales application wrote its next receipt early), that file is kept.
  RemovalOutcome Remove(const std::string& folder, const std::string& name,
                        const std::string& stamp, const std::optional<std::string>& ranSha256);

  // The warning lines of the files remembered, for the warning box.
  const std::vector<std::string>& WarningLines() const { return warnings_; }
  // Rebuilds them from the journal (after a restart).
  void RebuildWarnings();

 private:
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
