#include "app/WorkingFolder.h"

#include <climits>
#include <cstdlib>

#include "app/SettingsFile.h"
#include "platform/Files.h"

namespace ruvo {

bool MadeWhenMissing(const WorkingFolderInputs& inputs) {
  return inputs.dir.empty() || inputs.dir == "~" || inputs.dir.rfind("~/", 0) == 0;
}

std::optional<std::string> ChooseWorkingFolder(const WorkingFolderInputs& inputs) {
  if (!inputs.dir.empty()) {
    if (inputs.dir == "~" || inputs.dir.rfind("~/", 0) == 0) {
      if (inputs.home.empty()) return std::nullopt;
      return JoinPath(inputs.home, inputs.dir.size() > 2 ? inputs.dir.substr(2) : "");
    }
    return inputs.dir;
  }
  const std::string& exe = inputs.executableFolder;
  if (!exe.empty() && (FileExists(JoinPath(exe, "CMakeCache.txt")) ||
                       FileExists(JoinPath(exe, kSettingsFileName)))) {
    return exe;
  }
  // Only an absolute $XDG_DATA_HOME counts; a relative one is to be ignored.
  if (!inputs.xdgDataHome.empty() && inputs.xdgDataHome.front() == '/') {
    return JoinPath(inputs.xdgDataHome, "ruvo-drv");
  }
  if (inputs.home.empty()) return std::nullopt;
  return JoinPath(inputs.home, ".local/share/ruvo-drv");
}

std::string PrepareWorkingFolder(const std::string& folder, bool create, std::string& error) {
  if (!create && !FolderExists(folder)) {
    error = "no working folder " + folder;
    return "";
  }
  if (!FolderExists(folder) && !CreateFolders(folder)) {
    error = "cannot create the working folder " + folder;
    return "";
  }
  char resolved[PATH_MAX];
  if (realpath(folder.c_str(), resolved) == nullptr || !FolderExists(resolved)) {
    error = "no working folder " + folder;
    return "";
  }
  return resolved;
}

}  // namespace ruvo
