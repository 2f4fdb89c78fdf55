#include "app/CleanOldFiles.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/NoFollowFolder.h"

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

// The same in a subfolder, opened so that a link swapped in for it is not followed; false
// when the subfolder is a link.
bool DeleteOlderThanIn(const std::string& folderPath, const std::vector<std::string>& masks,
                       int marginDays, const LocalDateTime& now) {
  const NoFollowFolder folder(folderPath);
  if (folder.IsLink()) return false;
  for (const std::string& mask : masks) {
    for (const std::string& name : folder.ListMatching(mask)) {
      const std::optional<LocalDateTime> written = folder.LastWriteTime(name);
      if (!written) continue;
      if (AgeInWholeDays(now, *written) > marginDays) folder.Delete(name);
    }
  }
  return true;
}

// What follows the mask's fixed start ("ONLINE", "ERROR") in name, up to its first ".".
bool OnHttpChannel(const std::string& name, std::size_t startLength) {
  const std::string base = name.substr(0, name.find('.'));
  if (base.size() <= startLength) return false;
  return base.compare(startLength, kHttpChannelPrefix.size(), kHttpChannelPrefix) == 0;
}

void DeleteWaiting(const std::string& folder, const std::vector<std::string>& kept,
                   IFileOperations& files) {
  struct Mask {
    const char* mask;
    std::size_t startLength;  // 0: no channel
  };
  for (const Mask& m : {Mask{"log*.txt", 0}, Mask{"ONLINE*.TXT", 6}, Mask{"ERROR*.TXT", 5}}) {
    for (const std::string& name : ListMatching(folder, m.mask)) {
      if (m.startLength > 0 && OnHttpChannel(name, m.startLength)) continue;
      if (std::find(kept.begin(), kept.end(), name) != kept.end()) continue;
      files.Delete(JoinPath(folder, name));
    }
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

std::vector<std::string> CleanOldFiles(const DriverState& state, IClock& clock,
                                       IFileOperations& files, const std::vector<std::string>& kept,
                                       bool keepAllWaiting) {
  std::vector<std::string> linked;
  try {
    const Settings& s = state.settings;
    const std::string& work = state.workingFolder;
    if (s.stergereFisiereVechi) {
      const LocalDateTime now = clock.Now();
      const int margin = s.marjaZileStergere;
      DeleteOlderThan(work, {"log*.txt"}, margin, now, files);
      if (const std::optional<std::string> log = ResolveSubfolder(work, "log")) {
        if (!DeleteOlderThanIn(*log, {"log*.txt"}, margin, now)) linked.push_back(*log);
      }
      if (const std::optional<std::string> history = ResolveSubfolder(work, "history")) {
        if (!DeleteOlderThanIn(*history, {"log*.txt", "ONLINE*.txt", "ERROR*.txt"}, margin, now)) {
          linked.push_back(*history);
        }
      }
    }
    if (s.curatareFolderLucru && !keepAllWaiting) DeleteWaiting(work, kept, files);
  } catch (...) {
    // A clean-up that fails leaves files behind; it must not keep processing from starting.
  }
  // Told at each clean-up, that is at each start of processing, not at every tick.
  for (const std::string& folder : linked) {
    Log(LogLevel::Warning, folder +
                               " is a symbolic link: old files are not deleted there "
                               "(files are still written through it)");
  }
  return linked;
}

}  // namespace ruvo
