#include "platform/PortOpenFailure.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>

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
    case EACCES:
    case EPERM:
      return "no permission to open " + Where(*this) + code +
             ": add the user to the group dialout (adduser USER dialout) and log in again";
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
    case EPERM:
      return "Fara drept de acces la portul " + Where(*this) + code +
             ": utilizatorul trebuie adaugat in grupul dialout";
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
  PortOpenFailure failure{portName, device, error, ""};
  if (error == EWOULDBLOCK) failure.error = EBUSY;
  if (failure.error == EBUSY) failure.holder = FindDeviceHolder(device);
  return failure;
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
