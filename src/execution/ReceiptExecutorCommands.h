#pragma once

#include <optional>
#include <string>
#include <vector>

#include "receipt/CommandTable.h"

namespace ruvo {

// The answer to the first line of a file that the executor of `group` does not serve: a
// code outside the command table that is no port-selection line, or a command of the
// other group ("Either" commands are served by both). nullopt when it serves every line.
// The executors ask before they send anything, so that such a file reaches no ECR.
std::optional<std::string> LineNotServed(const std::vector<std::string>& lines, CommandGroup group);

}  // namespace ruvo
