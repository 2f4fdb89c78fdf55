#pragma once

#include <optional>
#include <string>

#include "app/CommandLine.h"

namespace ruvo {

// What a start that is to run the driver found out from its command line.
struct Launch {
  CommandLine line;
  std::string instanceName;
  std::string workingFolder;  // absolute, made when missing
};

// Answers what the command line asks without a driver (usage, --version, ctl,
// --check-port, a bad option or instance name, no working folder). Returns the exit status
// when it answered; otherwise fills launch and returns nothing.
std::optional<int> AnswerWithoutDriver(int argc, char** argv, Launch& launch);

}  // namespace ruvo
