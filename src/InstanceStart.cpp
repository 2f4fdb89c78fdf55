#include "InstanceStart.h"

#include <vector>

#include <unistd.h>

#include "InstancePlaces.h"
#include "app/Operator.h"
#include "platform/Log.h"
#include "platform/RuntimeFolder.h"

namespace ruvo {

std::optional<RunningInstance> TakeInstance(
    const Launch& launch, IOperator& op, const std::function<void(const std::string&)>& showAlready,
    int& exitStatus) {
  exitStatus = 1;
  std::vector<std::string> skipped;
  const std::optional<std::string> runtimeFolder =
      PrepareRuntimeFolder(RuntimePlaces(launch.instanceName, launch.workingFolder), ::geteuid(),
                           skipped);
  for (const std::string& why : skipped) Log(LogLevel::Warning, "passed over: " + why);
  if (!runtimeFolder) {
    Log(LogLevel::Error,
        "no folder that only this user can change for the run-once lock and the control "
        "socket: set XDG_RUNTIME_DIR, or use a working folder that only this user can write");
    return std::nullopt;
  }
  RunningInstance instance{*runtimeFolder, std::make_unique<SingleInstance>(*runtimeFolder),
                           nullptr};
  if (!instance.lock->Problem().empty()) {
    Log(LogLevel::Error, instance.lock->Problem());
    return std::nullopt;
  }
  const auto tellAlreadyRuns = [&op, &showAlready] {
    op.RomMessageDlg("Aplicatia deja lucreaza", "Ruvo_Drv", MsgKind::Information, MsgButtons::Ok);
    if (showAlready) showAlready("Aplicatia deja lucreaza");
  };
  if (!instance.lock->Acquired()) {
    tellAlreadyRuns();
    return std::nullopt;
  }
  instance.folderLock = std::make_unique<WorkingFolderLock>(launch.workingFolder);
  if (!instance.folderLock->Acquired()) {
    Log(LogLevel::Error, instance.folderLock->Problem());
    tellAlreadyRuns();
    return std::nullopt;
  }
  // Logs that carry no folder land in the current one, which must be the working folder.
  if (::chdir(launch.workingFolder.c_str()) != 0) {
    Log(LogLevel::Error, "cannot enter the working folder " + launch.workingFolder);
    exitStatus = 2;
    return std::nullopt;
  }
  return instance;
}

}  // namespace ruvo
