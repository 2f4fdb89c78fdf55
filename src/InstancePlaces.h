#pragma once

#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/WorkingFolder.h"
#include "platform/RuntimeFolder.h"

namespace ruvo {

// What chooses the working folder: the command line, the executable's folder and the
// user's environment.
WorkingFolderInputs WorkingFolderInputsOf(const CommandLine& line);

// Where the instance's lock and control socket may be: the service's runtime folder, the
// user's, the working folder (empty when there is none yet).
std::vector<RuntimeCandidate> RuntimePlaces(const std::string& instance,
                                            const std::string& workingFolder);

}  // namespace ruvo
