#include "app/StatusFile.h"

#include <cstdio>

#include "Version.h"
#include "platform/Files.h"
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
  // A link (or a FIFO, a device) in the status file's place was never read: it is
  // replaced, not written through.
  if (!ini.Load(path) && IsRegularFile(path)) return false;
  ini.WriteString(kStatusSection, "Versiune", VersionText());
  ini.WriteString(kStatusSection, "Stare", stare);
  ini.WriteString(kStatusSection, "ConectatLaCasa", connected ? "DA" : "NU");
  return ini.Save();
}

}  // namespace ruvo
