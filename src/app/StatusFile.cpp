#include "app/StatusFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "Version.h"
#include "platform/Files.h"
#include "platform/IniFile.h"

namespace ruvo {

namespace {

// Writes bytes over a regular file of the same length that holds these bytes but for the
// tick's time (or exactly these bytes when no identity is given). A reader sees every other
// byte the same before, during and after, so no temporary file is needed; and with nothing
// to flush or rename, the once-a-second rewrite costs the disk nothing but a page written
// back now and then. The identity of the file, when given, must match too. Returns the file's
// identity after the write; nullopt when it is not such a file (the caller then writes it the safe
// way).
std::optional<FileIdentity> RewriteSameBytes(const std::string& path, const std::string& bytes,
                                             const std::optional<FileIdentity>& expected) {
  // Non-blocking: a FIFO put in the file's place must not hang the driver.
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<FileIdentity> identity = IdentityOf(fd);
  const bool same = identity && identity->regular &&
                    static_cast<std::size_t>(identity->size) == bytes.size() &&
                    (!expected || identity == expected);
  if (!same || ::pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
    identity.reset();
  } else {
    identity = IdentityOf(fd);
  }
  if (::close(fd) != 0) identity.reset();
  return identity;
}

// A value of the file is one line: a line end inside a text would start a line of its own.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

}  // namespace

std::string VersionText() {
  char text[64];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", kVersionMajor, kVersionMinor, kVersionRelease,
                kVersionBuild);
  return text;
}

std::string FormatStatusTime(const LocalDateTime& dt) {
  char text[64];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", dt.day % 100, dt.month % 100,
                dt.year % 10000, dt.hour % 100, dt.minute % 100, dt.second % 100);
  return text;
}

bool StatusFile::Write(const std::string& path, const std::string& stare, bool connected,
                       const Liveness& liveness, const StatusNotes& notes) {
  if (path == path_ && stare == stare_ && connected == connected_ && notes == notes_ &&
      liveness.processId == liveness_.processId &&
      liveness.lastTick.size() == liveness_.lastTick.size() &&
      RewriteKnownContent(path, liveness.lastTick)) {
    return true;
  }
  IniFile ini;
  // A link (or a FIFO, a device) in the status file's place was never read: it is
  // replaced, not written through.
  if (!ini.Load(path) && IsRegularFile(path)) return false;
  const std::string before = ini.Text();
  ini.WriteString(kStatusSection, "Versiune", VersionText());
  ini.WriteString(kStatusSection, "Stare", stare);
  ini.WriteString(kStatusSection, "ConectatLaCasa", connected ? "DA" : "NU");
  ini.WriteString(kStatusSection, kStatusProcessIdKey, std::to_string(liveness.processId));
  ini.WriteString(kStatusSection, kStatusLastTickKey, liveness.lastTick);
  ini.WriteString(kStatusSection, kStatusPortProblemKey, OneLine(notes.portProblem));
  std::string warnings;
  for (const std::string& line : notes.warnings) {
    warnings += (warnings.empty() ? "" : " | ") + OneLine(line);
  }
  ini.WriteString(kStatusSection, kStatusWarningsKey, warnings);
  const std::string after = ini.Text();
  if (after == before) {
    if (const std::optional<FileIdentity> identity = RewriteSameBytes(path, after, std::nullopt)) {
      Remember(path, after, stare, connected, liveness, identity);
      notes_ = notes;
      return true;
    }
  }
  if (!ini.Save()) return false;
  Remember(path, after, stare, connected, liveness, IdentityOf(path));
  notes_ = notes;
  return true;
}

bool StatusFile::RewriteKnownContent(const std::string& path, const std::string& lastTick) {
  if (!identity_) return false;
  // The file is as this writer left it: its one line with the tick's time is known.
  const std::string oldLine = kStatusLastTickKey + "=" + liveness_.lastTick + "\r\n";
  const std::size_t at = content_.find(oldLine);
  if (at == std::string::npos || content_.find(oldLine, at + 1) != std::string::npos) return false;
  std::string content = content_;
  content.replace(at + kStatusLastTickKey.size() + 1, lastTick.size(), lastTick);
  const std::optional<FileIdentity> identity = RewriteSameBytes(path, content, identity_);
  if (!identity) return false;
  identity_ = identity;
  content_ = content;
  liveness_.lastTick = lastTick;
  return true;
}

void StatusFile::Remember(const std::string& path, const std::string& content,
                          const std::string& stare, bool connected, const Liveness& liveness,
                          const std::optional<FileIdentity>& identity) {
  path_ = path;
  content_ = content;
  stare_ = stare;
  connected_ = connected;
  liveness_ = liveness;
  identity_ = identity;
}

}  // namespace ruvo
