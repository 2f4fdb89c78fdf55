#include "app/StatusFile.h"

#include <cstdio>

#include "Version.h"
#include "platform/AtomicFile.h"
#include "platform/IniFile.h"

namespace ruvo {

std::string VersionText() {
  char text[64];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", kVersionMajor, kVersionMinor, kVersionRelease,
                kVersionBuild);
  return text;
}

bool WriteStatus(const std::string& path, const std::string& stare, bool connected) {
  IniFile ini;
  if (!ini.Load(path)) return false;
  const std::string before = ini.Text();
  ini.WriteString(kStatusSection, "Versiune", VersionText());
  ini.WriteString(kStatusSection, "Stare", stare);
  ini.WriteString(kStatusSection, "ConectatLaCasa", connected ? "DA" : "NU");
  const std::string after = ini.Text();
  // Rewritten all the same, since a sales application may watch the file's time; only a
  // change is worth flushing to the disk.
  return WriteFileAtomic(path, after,
                         after == before ? Durability::RenameOnly : Durability::Flushed);
}

}  // namespace ruvo
