#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ruvo {

// The folder of the working folder that XML exports are written into.
inline constexpr std::string_view kExportFolderName = "ExportXML";

// What the working folder is chosen from: the --dir value, the executable's folder and the
// environment ($HOME, $XDG_DATA_HOME; empty when unset).
struct WorkingFolderInputs {
  std::string dir;
  std::string executableFolder;
  std::string home;
  std::string xdgDataHome;
};

// The folder the driver works in, before it is made absolute:
// - --dir DIR, with a leading "~/" taken as $HOME (a desktop entry's Exec line does not
//   expand it);
// - else the executable's folder when it is a build tree (CMakeCache.txt) or a driver folder
//   set up by hand (XRUVODRV.INI beside the program): the demo and an unpacked copy keep
//   their files beside the program;
// - else the user's data folder: $XDG_DATA_HOME/ruvo-drv, or $HOME/.local/share/ruvo-drv.
//   An installed driver never works in /usr/bin.
// nullopt when none can be named (no --dir, no usable executable folder and no $HOME).
std::optional<std::string> ChooseWorkingFolder(const WorkingFolderInputs& inputs);

// Whether the chosen folder is made when it is missing: the user's data folder and a folder
// under "~/" (a desktop entry's) are made on the first start; any other --dir must exist, so
// that a mistyped folder is refused rather than silently started on.
bool MadeWhenMissing(const WorkingFolderInputs& inputs);

// The chosen folder as an absolute path, made (with parents) when missing and create is
// set; empty with a message in error when it is missing, cannot be made or is no folder.
std::string PrepareWorkingFolder(const std::string& folder, bool create, std::string& error);

}  // namespace ruvo
