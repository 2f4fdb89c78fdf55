#include "app/CleanOldFiles.h"

#include <optional>
#include <string>
#include <vector>

#include "platform/Files.h"

namespace ruvo {

namespace {

constexpr std::int64_t kMsPerDay = 24LL * 60 * 60 * 1000;

// Deletes the files of folder matching one of masks whose age is above marginDays.
void DeleteOlderThan(const std::string& folder, const std::vector<std::string>& masks,
                     int marginDays, const LocalDateTime& now, IFileOperations& files) {
  for (const std::string& mask : masks) {
    for (const std::string& name : ListMatching(folder, mask)) {
      const std::string path = JoinPath(folder, name);
      const std::optional<LocalDateTime> written = LastWriteTime(path);
      if (!written) continue;  // an unreadable time counts as 0 days: the file stays
      if (AgeInWholeDays(now, *written) > marginDays) files.Delete(path);
    }
  }
}

void DeleteAll(const std::string& folder, const std::vector<std::string>& masks,
               IFileOperations& files) {
  for (const std::string& mask : masks) {
    for (const std::string& name : ListMatching(folder, mask)) files.Delete(JoinPath(folder, name));
  }
}

}  // namespace

int AgeInWholeDays(const LocalDateTime& now, const LocalDateTime& lastWrite) {
  LocalDateTime midnight = now;
  midnight.hour = midnight.minute = midnight.second = midnight.millisecond = 0;
  const std::int64_t diff = CivilToMs(midnight) - CivilToMs(lastWrite);
  if (diff <= 0) return 0;
  const std::int64_t days = diff / kMsPerDay;
  return days > 1000000 ? 1000000 : static_cast<int>(days);
}

void CleanOldFiles(const DriverState& state, IClock& clock, IFileOperations& files) {
  try {
    const Settings& s = state.settings;
    const std::string& work = state.workingFolder;
    if (s.stergereFisiereVechi) {
      const LocalDateTime now = clock.Now();
      const int margin = s.marjaZileStergere;
      DeleteOlderThan(work, {"log*.txt"}, margin, now, files);
      if (const std::optional<std::string> log = ResolveSubfolder(work, "log")) {
        DeleteOlderThan(*log, {"log*.txt"}, margin, now, files);
      }
      if (const std::optional<std::string> history = ResolveSubfolder(work, "history")) {
        DeleteOlderThan(*history, {"log*.txt", "ONLINE*.txt", "ERROR*.txt"}, margin, now, files);
      }
    }
    if (s.curatareFolderLucru) DeleteAll(work, {"log*.txt", "ONLINE*.TXT", "ERROR*.TXT"}, files);
  } catch (...) {
    // A clean-up that fails leaves files behind; it must not keep processing from starting.
  }
}

}  // namespace ruvo
