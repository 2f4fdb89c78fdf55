#include "app/StrangeEntries.h"

#include "platform/Files.h"
#include "platform/Log.h"

namespace ruvo {

bool IsStrangeEntry(const std::string& path) { return FileExists(path) && !IsRegularFile(path); }

std::string StrangeAsideName(const std::string& name, const std::string& stamp, int attempt) {
  std::string aside = "REFUZAT_" + stamp + "_" + name;
  if (attempt > 0) aside += "_" + std::to_string(attempt);
  return aside;
}

bool StrangeEntries::IsSetAside(const std::string& folder, const std::string& name) {
  const std::string path = JoinPath(folder, name);
  for (auto it = remembered_.begin(); it != remembered_.end(); ++it) {
    if (it->path != path) continue;
    const std::optional<FileIdentity> now = IdentityOf(path);
    if (now && *now == it->identity) return true;
    remembered_.erase(it);  // gone or replaced: whatever stands there now is new
    return false;
  }
  return false;
}

void StrangeEntries::SetAside(const std::string& folder, const std::string& name,
                              const std::string& stamp) {
  const std::string path = JoinPath(folder, name);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string aside = JoinPath(folder, StrangeAsideName(name, stamp, attempt));
    if (files_.Exists(aside)) continue;
    if (files_.Rename(path, aside)) {
      Log(LogLevel::Warning, name + " is no regular file; renamed to " + aside);
      return;
    }
    break;
  }
  const std::optional<FileIdentity> identity = IdentityOf(path);
  if (!identity) return;  // gone meanwhile
  Log(LogLevel::Warning,
      name + " is no regular file and cannot be renamed; it is not answered again");
  remembered_.push_back(Remembered{path, *identity});
}

}  // namespace ruvo
