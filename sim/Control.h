#pragma once

#include <string>

#include "Engine.h"

namespace xruvo_sim {

// Applies one fault-injection command, as typed on the control channel or given with
// --fault, for example "nak 2", "silence always", "err 2002 16 once", "status 2 1",
// "paper-out", "vanish". Returns an empty text when applied, else what is wrong.
std::string ApplyControlCommand(Engine& engine, const std::string& line);

// The list of control commands, for --help.
const char* ControlCommandHelp();

}  // namespace xruvo_sim
