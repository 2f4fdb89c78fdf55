#pragma once

#include <span>
#include <string_view>

#include "receipt/LineCheck.h"

namespace ruvo {

// Which executor a command belongs to. A file may hold commands of one group only;
// barcodes may stand in either kind of file.
enum class CommandGroup { Fiscal, NonFiscal, Either };

struct CommandInfo {
  std::string_view code;
  CommandGroup group;
  LineChecker checker;  // nullptr for the commands that are never refused
};

// The command with exactly this code (byte for byte: "01" or " 1" are no codes), or
// nullptr when there is none.
const CommandInfo* FindCommand(std::string_view code);

// Every command, in the order the dispatcher tests them.
std::span<const CommandInfo> AllCommands();

}  // namespace ruvo
