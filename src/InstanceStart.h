#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "EntryAnswers.h"
#include "platform/SingleInstance.h"

namespace ruvo {

class IOperator;

// The one run of this instance: its runtime folder (lock and control socket), the lock,
// and the lock on the working folder, which one driver only may answer whatever its
// instance name or runtime folder.
struct RunningInstance {
  std::string runtimeFolder;
  std::unique_ptr<SingleInstance> lock;
  std::unique_ptr<WorkingFolderLock> folderLock;
};

// Takes the instance's place and enters the working folder. Nothing, after telling why,
// when another run holds it (told also on the screen through showAlready) or it cannot be
// taken; exitStatus is then the status to end with.
std::optional<RunningInstance> TakeInstance(
    const Launch& launch, IOperator& op, const std::function<void(const std::string&)>& showAlready,
    int& exitStatus);

}  // namespace ruvo
