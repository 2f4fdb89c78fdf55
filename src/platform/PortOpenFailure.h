#pragma once

#include <optional>
#include <string>

namespace ruvo {

// Why a serial port did not open, in terms a technician can act on: the device is missing
// (adapter unplugged, wrong name), the user may not open it (not in the group dialout, or
// the device's own group and mode keep it out), the service's device policy refuses it
// (EPERM: the file's permissions are not asked), or another program holds it (and which
// one, when /proc tells).
// A port on a serial device server fails for its own reasons: the server refuses, cannot be
// reached, does not answer, its name is not found, or another client holds its port.
struct PortOpenFailure {
  std::string portName;  // "COM1"
  std::string device;    // the device the settings map it to; empty for a name that is no port;
                         // a network address ("tcp://HOST:PORT") for a device server
  int error = 0;         // errno of the failing step; EBUSY also for a lock held elsewhere
  std::string holder;    // "pid 1234 (minicom)" when another process holds the device; for a
                         // device server, what it said or who holds it
  // For EACCES: "root:dialout 0660", the device's owner, group and mode; joinGroup when
  // joining that group would let this user in (the group may read and write, and is not
  // root's); otherwise the device's group or mode must change.
  std::string access;
  bool joinGroup = false;

  // The port is on the network: device names an address (or a malformed one).
  bool OnNetwork() const;

  // One English line for standard error or the journal.
  std::string ForLog() const;
  // One Romanian line for the operator's warning box.
  std::string ForOperator() const;

  bool operator==(const PortOpenFailure&) const = default;
};

// The failure of opening device for portName with this errno. A lock held elsewhere
// (EWOULDBLOCK from flock) counts as busy; for a busy device the holder is looked up, for
// a refused one its owner, group and mode.
PortOpenFailure DescribePortOpenFailure(const std::string& portName, const std::string& device,
                                        int error);

// Opens device as the driver would (without configuring it) and closes it again: nullopt
// when it opens, else why not. For a check before the driver starts.
std::optional<PortOpenFailure> TryOpenPort(const std::string& portName, const std::string& device);

// "pid <n> (<command>)" of the first other process that has device open, or empty when
// none can be seen (processes of other users are not visible to an ordinary user).
std::string FindDeviceHolder(const std::string& device);

}  // namespace ruvo
