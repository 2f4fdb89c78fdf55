#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace ruvo {

// The folder the service manager makes for an instance of the service
// (RuntimeDirectory=ruvo-drv/NAME): only root can make a folder there.
inline const std::string kSystemRuntimeBase = "/run/ruvo-drv";
// What an instance keeps in its runtime folder.
inline const std::string kInstanceLockName = "instance.lock";
inline const std::string kControlSocketFileName = "control.sock";

// Where an instance's runtime folder may be, in the order the driver takes them and the
// client looks: the service's folder, the user's runtime folder, the working folder.
enum class RuntimePlace { System, User, WorkingFolder };

struct RuntimeCandidate {
  RuntimePlace place;
  std::string folder;
};

struct RuntimeInputs {
  std::string systemBase = kSystemRuntimeBase;
  // $XDG_RUNTIME_DIR, or /run/user/<uid> (UserRuntimeBase); empty: none.
  std::string userBase;
  // The driver's working folder, absolute; empty: none.
  std::string workingFolder;
};

// $XDG_RUNTIME_DIR when it is an absolute path, else /run/user/<uid> (whether it exists
// is seen when it is used).
std::string UserRuntimeBase(const char* xdgRuntimeDir, uid_t uid);

// An instance name is one file name: not empty, no "/", not "." or "..", and short enough
// that the socket's path stays within what a socket address holds in the usual places.
bool ValidInstanceName(const std::string& name);

// The instance's folder in each place: <system>/<name>, <user>/ruvo-drv/<name>,
// <working folder>/.ruvodrv-<name>.
std::vector<RuntimeCandidate> RuntimeCandidates(const std::string& instance,
                                                const RuntimeInputs& inputs);

// Whether only owner and root can change what folder holds: it and every folder above it
// are real folders (no symbolic links), each owned by root or owner and writable by nobody
// else, except that a sticky folder of root's (/tmp) may hold it. False with the reason.
bool OnlyOwnerCanChange(const std::string& folder, uid_t owner, std::string& problem);

// The driver's runtime folder: the first candidate that is the driver's own and that only
// it and root can change, made (mode 0700) where that is the driver's part; the service's
// folder is used only when the service manager made it for this user. nullopt when no
// candidate will do; skipped tells why each one that exists was passed over.
std::optional<std::string> PrepareRuntimeFolder(const std::vector<RuntimeCandidate>& candidates,
                                                uid_t self, std::vector<std::string>& skipped);

// Where `ruvo_drv ctl` finds the driver: the first candidate that holds a control socket
// and that the caller trusts. A caller other than root trusts only its own folders; root
// trusts the service's folder of whichever user, its own runtime folder, and a working
// folder's runtime folder owned by the working folder's owner. The owner is the user the
// socket and its peer must belong to (or root).
struct ControlPlace {
  std::string folder;
  uid_t owner = 0;
};
std::optional<ControlPlace> FindControlPlace(const std::vector<RuntimeCandidate>& candidates,
                                             uid_t self, std::string& problem);

// Why FindControlPlace found no socket, and what to do: an instance's folder that this
// user may not look into is another user's driver (ask as that user or as root); else
// where it looked, and the instances the service runs (--instance NAME). dirGiven: the
// caller named a working folder (else --dir FOLDER is suggested).
std::string WhyNoControlPlace(const std::vector<RuntimeCandidate>& candidates,
                              const std::string& instance, bool dirGiven);

}  // namespace ruvo
