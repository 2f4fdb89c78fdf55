#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/RuntimeFolder.h"

namespace ruvo {

// `ruvo_drv ctl`: sends one command to the driver running as instance, found in the first
// of places that holds its control socket and that the caller trusts, and prints its
// answer, converted to UTF-8: on out when the command succeeded, on err when it failed.
// dir (may be empty) names the working folder the caller means. Arguments are taken as
// UTF-8 and sent as Windows-1250; the logo's file name is sent as the file system spells
// it, made absolute, since the driver does not share the caller's current folder.
// Returns the exit status: 0 on success, 1 on any failure.
int RunControlClient(const std::vector<RuntimeCandidate>& places, const std::string& instance,
                     const std::string& dir, const std::vector<std::string>& command,
                     std::ostream& out, std::ostream& err);

}  // namespace ruvo
