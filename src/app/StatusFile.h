#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/FileIdentity.h"

namespace ruvo {

inline const std::string kStatusFileName = "RUVODRV.INFO";
inline const std::string kStatusSection = "INFO";

inline const std::string kStateProcessing = "START PROCESARE";
inline const std::string kStateStopped = "STOP PROCESARE";
inline const std::string kStateClosed = "DRIVER INCHIS";

// Keys after the three of the status file, so readers of those are not disturbed: the
// driver's process id, and the time of its last tick ("dd.mm.yyyy hh:mm:ss", local time).
// A sales application tells a dead driver from a busy one by the process: a driver that
// is gone leaves "START PROCESARE" behind but its process id names no running driver.
inline const std::string kStatusProcessIdKey = "IdProces";
inline const std::string kStatusLastTickKey = "UltimaActivitate";
// Why the ECR's port does not open, as the operator reads it ("Portul COM1 (tcp://...):
// serverul refuza conexiunea"); empty while it opens.
inline const std::string kStatusPortProblemKey = "ProblemaPort";

// What the operator must see to, one line of the warning box after another joined by
// " | "; empty while there is nothing (a damaged journal or key record, answers that cannot
// be saved, paper, the electronic journal).
inline const std::string kStatusWarningsKey = "Atentionari";

// The status file's lines that tell what needs a person.
struct StatusNotes {
  std::string portProblem;            // kStatusPortProblemKey
  std::vector<std::string> warnings;  // kStatusWarningsKey
  bool operator==(const StatusNotes&) const = default;
};

// The executable's version record as "%d.%d.%d.%d": "2.3.3.0".
std::string VersionText();

// "dd.mm.yyyy hh:mm:ss": the last tick's time in the status file; always 19 bytes.
std::string FormatStatusTime(const LocalDateTime& dt);

// What tells that the driver lives: its process id and the time of its last tick.
struct Liveness {
  long processId = 0;
  std::string lastTick;  // FormatStatusTime

  bool operator==(const Liveness&) const = default;
};

// Replaces "Versiune", "Stare", "ConectatLaCasa", "IdProces", "UltimaActivitate",
// "ProblemaPort" and "Atentionari" in
// section "INFO" of the status file at path and keeps everything else; the file is written
// atomically, so the sales application never reads half of it. It is rewritten at every
// call, since its time tells that the driver lives; when only the tick's time changed, the
// new bytes are written over the old in place (nothing flushed, nothing renamed): the time
// is all that differs, and it has the same length. A status file that exists but cannot be read
// is left alone rather than replaced by one without its other content: false. False also
// when writing fails. A symbolic link, a FIFO or a device in its place is replaced by the
// status file.
class StatusFile {
 public:
  bool Write(const std::string& path, const std::string& stare, bool connected,
             const Liveness& liveness, const StatusNotes& notes = {});

 private:
  // The file as this writer last left it. While the file keeps that identity its content
  // is known, and the once-a-second rewrite need not read it first. (Only the driver
  // writes this file; another writer that put as many bytes into it within the same tick
  // of the file system's clock would go unseen.)
  std::string path_;
  std::optional<FileIdentity> identity_;
  std::string content_;
  std::string stare_;
  bool connected_ = false;
  StatusNotes notes_;
  Liveness liveness_;

  bool RewriteKnownContent(const std::string& path, const std::string& lastTick);
  void Remember(const std::string& path, const std::string& content, const std::string& stare,
                bool connected, const Liveness& liveness,
                const std::optional<FileIdentity>& identity);
};

}  // namespace ruvo
