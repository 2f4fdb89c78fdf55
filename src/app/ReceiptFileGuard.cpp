#include "app/ReceiptFileGuard.h"

#include <unistd.h>

#include <cstdio>

#include <cerrno>
#include <iostream>

#include "platform/Files.h"

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

ReceiptFileGuard::ReceiptFileGuard(IFileOperations& files, IClock& clock)
    : files_(files), clock_(clock) {}

bool ReceiptFileGuard::IsSkipped(const std::string& folder, const std::string& name) {
  const std::string path = JoinPath(folder, name);
  for (std::size_t i = 0; i < remembered_.size(); ++i) {
    if (remembered_[i].path != path) continue;
    const std::optional<FileIdentity> now = IdentityOf(path);
    if (now && *now == remembered_[i].identity) return true;
    Forget(i);
    return false;
  }
  return false;
}

RemovalOutcome ReceiptFileGuard::Remove(const std::string& folder, const std::string& name,
                                        const std::string& stamp,
                                        const std::optional<FileIdentity>& ran) {
  const std::string path = JoinPath(folder, name);
  if (ran) {
    const std::optional<FileIdentity> now = IdentityOf(path);
    if (now && !(*now == *ran)) return RemovalOutcome::Replaced;
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

  Remembered entry;
  entry.path = path;
  entry.identity = IdentityOf(path).value_or(FileIdentity{});
  entry.warning = "Atentie ! Fisierul " + name + " a fost executat dar nu poate fi sters !";
  std::cerr << "Ruvo_Drv: " << name
            << " was executed but can be neither deleted nor renamed; it will not run again"
               " until it changes\n";
  for (std::size_t i = 0; i < remembered_.size(); ++i) {
    if (remembered_[i].path == path) {
      Forget(i);
      break;
    }
  }
  remembered_.push_back(entry);
  RebuildWarnings();
  return RemovalOutcome::Remembered;
}

void ReceiptFileGuard::Forget(std::size_t index) {
  remembered_.erase(remembered_.begin() + static_cast<std::ptrdiff_t>(index));
  RebuildWarnings();
}

void ReceiptFileGuard::RebuildWarnings() {
  warnings_.clear();
  for (const Remembered& r : remembered_) warnings_.push_back(r.warning);
}

}  // namespace ruvo
