#pragma once

#include <string>
#include <vector>

#include "SimConfig.h"

namespace xruvo_sim {

// The xruvo_sim command line.
struct Options {
  std::string link;                 // symlink to the pseudo-terminal's slave
  std::string paper;                // file the paper goes to; empty: standard output
  std::string control;              // FIFO read for fault-injection commands
  std::string logo;                 // file that gets every logo the device stores; empty: none
  std::vector<std::string> faults;  // control commands applied at start
  SimConfig config;
  bool help = false;
};

// Parses argv; false with a message in error when an option is unknown or its value bad.
bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error);

std::string UsageText();

}  // namespace xruvo_sim
