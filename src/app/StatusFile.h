#pragma once

#include <optional>
#include <string>

#include "platform/FileIdentity.h"

namespace ruvo {

inline const std::string kStatusFileName = "RUVODRV.INFO";
inline const std::string kStatusSection = "INFO";

inline const std::string kStateProcessing = "START PROCESARE";
inline const std::string kStateStopped = "STOP PROCESARE";
inline const std::string kStateClosed = "DRIVER INCHIS";

// The executable's version record as "%d.%d.%d.%d": "2.3.3.0".
std::string VersionText();

// Replaces "Versiune", "Stare" and "ConectatLaCasa" in section "INFO" of the status file at
// path and keeps everything else; the file is written atomically, so the sales application
// never reads half of it. It is rewritten at every call, since its time tells that the
// driver lives; when its content stays the same, the same bytes are written over it in
// place (nothing flushed, nothing renamed). A status file that exists but cannot be read
// is left alone rather than replaced by one without its other content: false. False also
// when writing fails. A symbolic link, a FIFO or a device in its place is replaced by the
// status file.
class StatusFile {
 public:
  bool Write(const std::string& path, const std::string& stare, bool connected);

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

  bool RewriteKnownContent(const std::string& path);
  void Remember(const std::string& path, const std::string& content, const std::string& stare,
                bool connected, const std::optional<FileIdentity>& identity);
};

}  // namespace ruvo
