#include "InstancePlaces.h"

#include <cstdlib>

#include <unistd.h>

#include "platform/Files.h"

namespace ruvo {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return std::string(value != nullptr ? value : "");
}

}  // namespace

WorkingFolderInputs WorkingFolderInputsOf(const CommandLine& line) {
  return {line.dir, ExecutableFolder().value_or(""), Environment("HOME"),
          Environment("XDG_DATA_HOME")};
}

std::vector<RuntimeCandidate> RuntimePlaces(const std::string& instance,
                                            const std::string& workingFolder) {
  RuntimeInputs inputs;
  inputs.userBase = UserRuntimeBase(std::getenv("XDG_RUNTIME_DIR"), ::geteuid());
  inputs.workingFolder = workingFolder;
  return RuntimeCandidates(instance, inputs);
}

}  // namespace ruvo
