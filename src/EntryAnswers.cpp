#include "EntryAnswers.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "InstancePlaces.h"
#include "app/PortCheck.h"
#include "app/SettingsFile.h"
#include "app/StatusFile.h"
#include "app/WorkingFolder.h"
#include "console/ControlClient.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/SingleInstance.h"

namespace ruvo {

namespace {

std::string InstanceName(const CommandLine& line) {
  if (!line.instanceName.empty()) return line.instanceName;
  const char* fromEnvironment = std::getenv("RUVO_DRV_INSTANCE");
  if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
  return SingleInstance::kDefaultName;
}

// The working folder as an absolute path, or empty with a message.
std::string WorkingFolder(const CommandLine& line, std::string& error) {
  const WorkingFolderInputs inputs = WorkingFolderInputsOf(line);
  const std::optional<std::string> chosen = ChooseWorkingFolder(inputs);
  if (!chosen) {
    error = "no working folder: give --dir DIR";
    return "";
  }
  return PrepareWorkingFolder(*chosen, MadeWhenMissing(inputs), error);
}

// The working folder `ruvo_drv ctl` means, without making it: its driver may keep its
// control socket there.
std::string ExistingWorkingFolder(const CommandLine& line) {
  const std::optional<std::string> chosen = ChooseWorkingFolder(WorkingFolderInputsOf(line));
  if (!chosen || !FolderExists(*chosen)) return "";
  std::string ignored;
  return PrepareWorkingFolder(*chosen, false, ignored);
}

int CheckPort(const std::string& folder) {
  std::string answer;
  const std::string settings = JoinPath(folder, kSettingsFileName);
  const bool named = SettingsNamePort(settings, answer);
  std::fprintf(named ? stdout : stderr, "%s\n", answer.c_str());
  if (named) {
    // Named is enough to start: the driver waits for the port. Why it does not open yet is
    // said beside it, for whoever sets the till up.
    const std::string problem = NamedPortProblem(settings);
    if (!problem.empty()) std::fprintf(stderr, "%s\n", problem.c_str());
  }
  return named ? 0 : 1;
}

}  // namespace

std::optional<int> AnswerWithoutDriver(int argc, char** argv, Launch& launch) {
  CommandLine& line = launch.line;
  std::string error;
  // Plain standard output and error, not the log: what is written is the answer of the
  // command itself (its usage, its version, the control client's reply, the port check)
  // for whoever typed it, not a diagnostic of the driver.
  if (!ParseCommandLine(argc, argv, line, error)) {
    std::fprintf(stderr, "ruvo_drv: %s\n\n%s", error.c_str(), UsageText().c_str());
    // ctl fails with 1 whatever went wrong, so scripts test one status.
    return line.control ? 1 : 2;
  }
  if (line.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  launch.instanceName = InstanceName(line);
  const bool nameUsable = ValidInstanceName(launch.instanceName);
  if (!nameUsable && (line.control || !(line.version || line.checkPort))) {
    std::fprintf(stderr,
                 "ruvo_drv: the instance name must be a file name of 1 to 48 bytes "
                 "without \"/\": %s\n",
                 launch.instanceName.c_str());
    return line.control ? 1 : 2;
  }
  if (line.control) {
    return RunControlClient(RuntimePlaces(launch.instanceName, ExistingWorkingFolder(line)),
                            launch.instanceName, line.dir, line.controlCommand, std::cout,
                            std::cerr);
  }
  if (line.version) {
    std::printf("Ruvo_Drv %s\n", VersionText().c_str());
    return 0;
  }
  launch.workingFolder = WorkingFolder(line, error);
  if (launch.workingFolder.empty()) {
    Log(LogLevel::Error, error);
    return 2;
  }
  if (line.checkPort) return CheckPort(launch.workingFolder);
  return std::nullopt;
}

}  // namespace ruvo
