#include "platform/FileIdentity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace ruvo {

namespace {

// File times move in steps of a kernel tick (a few milliseconds); a second is a wide margin.
constexpr std::int64_t kClockStepMarginNs = 1'000'000'000;

std::int64_t Ns(const timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + static_cast<std::int64_t>(t.tv_nsec);
}

FileIdentity FromStat(const struct stat& st) {
  FileIdentity id;
  id.device = static_cast<std::uint64_t>(st.st_dev);
  id.inode = static_cast<std::uint64_t>(st.st_ino);
  id.size = static_cast<std::int64_t>(st.st_size);
  id.lastWriteNs = Ns(st.st_mtim);
  id.regular = S_ISREG(st.st_mode);
  return id;
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return std::nullopt;  // a link is not followed
  return FromStat(st);
}

std::optional<FileIdentity> IdentityOf(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return std::nullopt;
  return FromStat(st);
}

bool WrittenJustNow(const FileIdentity& identity, std::int64_t nowNs) {
  return nowNs - identity.lastWriteNs < kClockStepMarginNs;
}

std::optional<FileOrigin> OriginOf(const std::string& path) {
  struct statx st {};
  if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_INO | STATX_BTIME, &st) != 0) {
    return std::nullopt;
  }
  FileOrigin origin;
  origin.device = static_cast<std::uint64_t>(makedev(st.stx_dev_major, st.stx_dev_minor));
  origin.inode = st.stx_ino;
  if ((st.stx_mask & STATX_BTIME) != 0) {
    origin.birthNs = static_cast<std::int64_t>(st.stx_btime.tv_sec) * 1'000'000'000 +
                     static_cast<std::int64_t>(st.stx_btime.tv_nsec);
  }
  return origin;
}

}  // namespace ruvo
