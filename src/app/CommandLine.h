#pragma once

#include <string>
#include <vector>

namespace ruvo {

// The ruvo_drv command line.
struct CommandLine {
  bool headless = false;
  bool help = false;
  bool version = false;
  bool checkPort = false;    // only tell whether the settings name the ECR's port
  std::string dir;           // working folder; empty: see ChooseWorkingFolder
  std::string instanceName;  // single-instance name; empty: "XRuvoDrv" or $RUVO_DRV_INSTANCE
  // "ruvo_drv ctl [--dir DIR] [--instance NAME] COMMAND...": talk to the running driver.
  bool control = false;
  std::vector<std::string> controlCommand;  // COMMAND and its arguments
};

// False with a message in error for an unknown option, a missing value, or "ctl" without
// a command.
bool ParseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& error);

std::string UsageText();

}  // namespace ruvo
