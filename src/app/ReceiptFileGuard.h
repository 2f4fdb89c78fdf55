#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/ReceiptFileReader.h"
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
// Replaced: the name holds a newer file than the one that ran, which is left to run next.
enum class RemovalOutcome { Deleted, RenamedAside, Remembered, Replaced };

// A receipt file is executed once: a second run would sell the same goods twice. The
// guard removes each file after its run and, when the file cannot be removed, keeps it
// from being picked up again.
class ReceiptFileGuard {
 public:
  static constexpr std::int64_t kDeleteRetryMs = 2000;
  static constexpr std::int64_t kDeleteRetryPauseMs = 50;

  ReceiptFileGuard(IFileOperations& files, IClock& clock);

  // True when the file is one that ran but could not be removed and has not changed
  // since. A changed or vanished file is forgotten (and its warning withdrawn).
  bool IsSkipped(const std::string& folder, const std::string& name);

  // Deletes the file, retrying for 2 seconds. When it stays, renames it aside to a name
  // ONLINE*.TXT does not match; when even that fails, remembers its identity and warns.
  // ran is the identity of the version that was read: when the name now holds another
  // version (the sales application wrote its next receipt early), that one is kept.
  RemovalOutcome Remove(const std::string& folder, const std::string& name,
                        const std::string& stamp, const std::optional<FileIdentity>& ran);

  // The warning lines of the files remembered, for the warning box.
  const std::vector<std::string>& WarningLines() const { return warnings_; }

 private:
  struct Remembered {
    std::string path;
    FileIdentity identity;
    std::string warning;
  };

  void Forget(std::size_t index);
  void RebuildWarnings();

  IFileOperations& files_;
  IClock& clock_;
  std::vector<Remembered> remembered_;
  std::vector<std::string> warnings_;
};

// The name a receipt file that could not be deleted is renamed to:
// "EXECUTAT_" + stamp + "_" + name (+ "_" + n when taken). It begins with neither
// "ONLINE" nor "ERROR", so neither the driver nor a sales application watching for its
// own files takes it for a waiting receipt or for an answer.
std::string AsideName(const std::string& name, const std::string& stamp, int attempt);

}  // namespace ruvo
