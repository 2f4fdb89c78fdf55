#include "platform/PortOpenFailure.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "platform/PortOpenFailureNetwork.h"

namespace ruvo {

namespace {

std::string ErrnoName(int error) {
  switch (error) {
    case ENOENT:
      return "ENOENT";
    case EACCES:
      return "EACCES";
    case EPERM:
      return "EPERM";
    case EBUSY:
      return "EBUSY";
    case ENOTTY:
      return "ENOTTY";
    case ENXIO:
      return "ENXIO";
    case ENODEV:
      return "ENODEV";
    case EIO:
      return "EIO";
    case ENOTDIR:
      return "ENOTDIR";
    case ELOOP:
      return "ELOOP";
    default:
      return "errno " + std::to_string(error);
  }
}

std::string Where(const PortOpenFailure& f) {
  return f.device.empty() ? f.portName : f.portName + " (" + f.device + ")";
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string UserName(uid_t uid) {
  const passwd* user = ::getpwuid(uid);
  return user != nullptr ? user->pw_name : std::to_string(uid);
}

std::string GroupName(gid_t gid) {
  const group* found = ::getgrgid(gid);
  return found != nullptr ? found->gr_name : std::to_string(gid);
}

bool InGroup(gid_t gid) {
  if (::getegid() == gid) return true;
  const int count = ::getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  const int got = ::getgroups(count, groups.data());
  for (int k = 0; k < got; ++k) {
    if (groups[static_cast<std::size_t>(k)] == gid) return true;
  }
  return false;
}

// "root:dialout 0660" of the device, and whether joining its group would let this process
// in; false when the device cannot be looked at.
bool DescribeAccess(const std::string& device, PortOpenFailure& failure) {
  struct stat st {};
  if (::stat(device.c_str(), &st) != 0) return false;
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
  failure.access = UserName(st.st_uid) + ":" + GroupName(st.st_gid) + " " + mode;
  failure.joinGroup = st.st_gid != 0 && (st.st_mode & 060) == 060 && !InGroup(st.st_gid);
  return true;
}

// The device's group, from access ("dialout" when it is not known).
std::string DeviceGroup(const PortOpenFailure& f) {
  const std::size_t colon = f.access.find(':');
  const std::size_t space = f.access.find(' ');
  if (colon == std::string::npos || space == std::string::npos) return "dialout";
  return f.access.substr(colon + 1, space - colon - 1);
}

std::string CommandOf(const std::string& pid) {
  std::ifstream comm("/proc/" + pid + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

}  // namespace

std::string PortOpenFailure::ForLog() const {
  if (OnNetwork()) return NetworkFailureForLog(*this);
  const std::string code = " (" + ErrnoName(error) + ")";
  if (device.empty()) return portName + " is no port name: COM1 .. COM16";
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
      return Where(*this) + " does not exist" + code +
             ": is the adapter plugged in? See ls -l /dev/serial/by-id/ and section Porturi "
             "of XRUVODRV.INI";
    case EACCES: {
      if (access.empty() || joinGroup) {
        const std::string group = DeviceGroup(*this);
        return "no permission to open " + Where(*this) + code +
               (access.empty() ? "" : ": the device is " + access) +
               ": add the user to the group " + group + " (adduser USER " + group +
               ") and log in again (or restart the service)";
      }
      return "no permission to open " + Where(*this) + code + ": the device is " + access +
             ", closed to its group: give it the group dialout and mode 0660 (chgrp dialout, "
             "chmod 0660; for an adapter a udev rule with GROUP=\"dialout\", MODE=\"0660\")";
    }
    case EPERM:
      return Where(*this) + " is refused by the service's device policy" + code +
             ", whatever the file's permissions: an adapter whose kernel driver came after "
             "the service started needs a restart of the service (systemctl restart "
             "ruvo-drv, or ruvo-drv@TILL); a device other than ttyS*, ttyUSB*, ttyACM* or a "
             "pseudo-terminal "
             "needs DeviceAllow=" +
             (device.empty() ? std::string("DEVICE") : device) +
             " rw in a drop-in (systemctl edit ruvo-drv)";
    case EBUSY:
      return Where(*this) + " is held by another program" + code +
             (holder.empty() ? std::string() : ": " + holder);
    case ENOTTY:
      return Where(*this) + " is not a serial port" + code;
    default:
      return Where(*this) + " does not open" + code + ": " + std::strerror(error);
  }
}

std::string PortOpenFailure::ForOperator() const {
  if (OnNetwork()) return NetworkFailureForOperator(*this);
  const std::string code = " (" + ErrnoName(error) + ")";
  if (device.empty()) return "Port necunoscut " + portName;
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
      return "Portul " + Where(*this) + " nu exista" + code + ": verificati cablul si adaptorul";
    case EACCES:
      if (!access.empty() && !joinGroup) {
        return "Fara drept de acces la portul " + Where(*this) + code + ": dispozitivul este " +
               access + ", trebuie sa aiba grupul dialout si drepturile 0660";
      }
      return "Fara drept de acces la portul " + Where(*this) + code +
             ": utilizatorul trebuie adaugat in grupul " + DeviceGroup(*this);
    case EPERM:
      return "Portul " + Where(*this) + " este refuzat de politica de dispozitive a serviciului" +
             code + ": reporniti serviciul (systemctl restart ruvo-drv)";
    case EBUSY:
      return "Portul " + Where(*this) + " este ocupat de alt program" + code +
             (holder.empty() ? std::string() : ": " + holder);
    case ENOTTY:
      return "Portul " + Where(*this) + " nu este un port serial" + code;
    default:
      return "Portul " + Where(*this) + " nu se deschide" + code;
  }
}

PortOpenFailure DescribePortOpenFailure(const std::string& portName, const std::string& device,
                                        int error) {
  PortOpenFailure failure{portName, device, error, "", "", false};
  if (error == EWOULDBLOCK) failure.error = EBUSY;
  if (failure.error == EBUSY) failure.holder = FindDeviceHolder(device);
  if (failure.error == EACCES) DescribeAccess(device, failure);
  return failure;
}

std::optional<PortOpenFailure> TryOpenPort(const std::string& portName, const std::string& device) {
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return DescribePortOpenFailure(portName, device, errno);
  const bool terminal = ::isatty(fd) == 1;
  ::close(fd);
  if (!terminal) return DescribePortOpenFailure(portName, device, ENOTTY);
  return std::nullopt;
}

std::string FindDeviceHolder(const std::string& device) {
  struct stat target {};
  if (device.empty() || ::stat(device.c_str(), &target) != 0) return "";
  const std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
  if (!proc) return "";
  const std::string self = std::to_string(::getpid());
  while (const dirent* entry = ::readdir(proc.get())) {
    const std::string pid = entry->d_name;
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == self) {
      continue;
    }
    const std::string fdFolder = "/proc/" + pid + "/fd";
    const std::unique_ptr<DIR, int (*)(DIR*)> fds(::opendir(fdFolder.c_str()), ::closedir);
    if (!fds) continue;  // another user's process, or gone meanwhile
    while (const dirent* fd = ::readdir(fds.get())) {
      struct stat open {};
      if (fd->d_name[0] == '.') continue;
      if (::stat((fdFolder + "/" + fd->d_name).c_str(), &open) == 0 && SameFile(open, target)) {
        return "pid " + pid + " (" + CommandOf(pid) + ")";
      }
    }
  }
  return "";
}

}  // namespace ruvo
