#include "app/ReceiptFileGuard.h"

#include <unistd.h>

#include <cstdio>

#include <cerrno>
#include <iostream>

#include "platform/Files.h"
#include "platform/Sha256.h"

namespace ruvo {

bool PosixFileOperations::Delete(const std::string& path) { return DeleteFile(path); }

bool PosixFileOperations::Rename(const std::string& from, const std::string& to) {
  // renameat2 with RENAME_NOREPLACE is not everywhere; a link and unlink never replaces.
  if (::link(from.c_str(), to.c_str()) != 0) {
    // File systems without hard links; the caller has checked that the target is free.
    if (errno == EEXIST) return false;
    return std::rename(from.c_str(), to.c_str()) == 0;
  }
  if (::unlink(from.c_str()) != 0) {
    ::unlink(to.c_str());
    return false;
  }
  return true;
}

bool PosixFileOperations::Exists(const std::string& path) { return FileExists(path); }

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
    if (FileSha256(JoinPath(folder, name)) == executed.sha256) return true;
    journal_.RemoveExecuted(name);
    RebuildWarnings();
    return false;
  }
  return false;
}

RemovalOutcome ReceiptFileGuard::Remove(const std::string& folder, const std::string& name,
                                        const std::string& stamp,
                                        const std::optional<std::string>& ranSha256) {
  const std::string path = JoinPath(folder, name);
  if (ranSha256) {
    const std::optional<std::string> now = FileSha256(path);
    if (now && *now != *ranSha256) return RemovalOutcome::Replaced;
  }
  const std::int64_t start = clock_.MonotonicMs();
  for (;;) {
    files_.Delete(path);
    if (!files_.Exists(path)) return RemovalOutcome::Deleted;
    if (clock_.MonotonicMs() - start >= kDeleteRetryMs) break;
    // A short pause rather than a tight loop: the clock must move for the retry to end.
    clock_.SleepMs(kDeleteRetryPauseMs);
  }

  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string aside = JoinPath(folder, AsideName(name, stamp, attempt));
    if (files_.Exists(aside)) continue;
    if (files_.Rename(path, aside)) {
      std::cerr << "Ruvo_Drv: " << name << " could not be deleted; renamed to " << aside << '\n';
      return RemovalOutcome::RenamedAside;
    }
    break;
  }

  std::cerr << "Ruvo_Drv: " << name
            << " was executed but can be neither deleted nor renamed; it will not run again"
               " until its content changes\n";
  const std::optional<std::string> now = FileSha256(path);
  journal_.AddExecuted(ExecutedFile{name, now.value_or(ranSha256.value_or(std::string(64, '0')))});
  RebuildWarnings();
  return RemovalOutcome::Remembered;
}

void ReceiptFileGuard::RebuildWarnings() {
  warnings_.clear();
  for (const ExecutedFile& e : journal_.Executed()) {
    warnings_.push_back("Atentie ! Fisierul " + e.name + " a fost executat dar nu poate fi sters !");
  }
}

}  // namespace ruvo
