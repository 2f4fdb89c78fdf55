#include "platform/RuntimeFolder.h"

#include <dirent.h>
#include <errno.h>
#include <pwd.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace ruvo {

namespace {

// Long enough for a till's name, short enough that <base>/<name>/control.sock fits the
// 108 bytes of a socket address under /run/user/<uid>/ruvo-drv.
constexpr std::size_t kMaxInstanceName = 48;

std::string Parent(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return path.substr(0, slash);
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Makes a folder of mode 0700; an existing one is fine (it is checked afterwards).
// False when it is neither there nor can be made (its parent missing, no permission).
bool MakePrivateFolder(const std::string& folder) {
  return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

std::string UserRuntimeBase(const char* xdgRuntimeDir, uid_t uid) {
  if (xdgRuntimeDir != nullptr && xdgRuntimeDir[0] == '/') {
    return WithoutTrailingSlashes(xdgRuntimeDir);
  }
  return "/run/user/" + std::to_string(uid);
}

bool ValidInstanceName(const std::string& name) {
  return !name.empty() && name.size() <= kMaxInstanceName && name != "." && name != ".." &&
         name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

std::vector<RuntimeCandidate> RuntimeCandidates(const std::string& instance,
                                                const RuntimeInputs& inputs) {
  std::vector<RuntimeCandidate> candidates;
  if (!ValidInstanceName(instance)) return candidates;
  if (!inputs.systemBase.empty()) {
    candidates.push_back(
        {RuntimePlace::System, WithoutTrailingSlashes(inputs.systemBase) + "/" + instance});
  }
  if (!inputs.userBase.empty()) {
    candidates.push_back(
        {RuntimePlace::User, WithoutTrailingSlashes(inputs.userBase) + "/ruvo-drv/" + instance});
  }
  if (!inputs.workingFolder.empty()) {
    candidates.push_back({RuntimePlace::WorkingFolder,
                          WithoutTrailingSlashes(inputs.workingFolder) + "/.ruvodrv-" + instance});
  }
  return candidates;
}

bool OnlyOwnerCanChange(const std::string& folder, uid_t owner, std::string& problem) {
  if (folder.empty() || folder.front() != '/') {
    problem = folder + " is not an absolute path";
    return false;
  }
  std::string path = WithoutTrailingSlashes(folder);
  for (bool first = true;; first = false) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
      problem = "cannot look at " + path + " (" + std::strerror(errno) + ")";
      return false;
    }
    if (!S_ISDIR(st.st_mode)) {
      problem = path + " is not a folder";
      return false;
    }
    if (first ? st.st_uid != owner : (st.st_uid != owner && st.st_uid != 0)) {
      problem = path + " belongs to another user";
      return false;
    }
    // Others may add names to a sticky folder of root's, but not take away or replace ours.
    const bool othersMayChange = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    const bool rootsSticky = st.st_uid == 0 && (st.st_mode & S_ISVTX) != 0;
    if (othersMayChange && (first || !rootsSticky)) {
      problem = path + " is writable by other users";
      return false;
    }
    if (path == "/") return true;
    path = Parent(path);
  }
}

std::optional<std::string> PrepareRuntimeFolder(const std::vector<RuntimeCandidate>& candidates,
                                                uid_t self, std::vector<std::string>& skipped) {
  for (const RuntimeCandidate& candidate : candidates) {
    const std::string& folder = candidate.folder;
    if (candidate.place == RuntimePlace::User && !MakePrivateFolder(Parent(folder))) continue;
    if (candidate.place != RuntimePlace::System && !MakePrivateFolder(folder)) {
      skipped.push_back("cannot make " + folder + " (" + std::strerror(errno) + ")");
      continue;
    }
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) continue;  // the service's folder is not there
    // A folder of ours that others can read (a service manager's default mode, an older
    // folder) is made private before it is trusted.
    if (S_ISDIR(st.st_mode) && st.st_uid == self && (st.st_mode & 077) != 0) {
      ::chmod(folder.c_str(), 0700);
    }
    std::string problem;
    if (!OnlyOwnerCanChange(folder, self, problem)) {
      skipped.push_back(problem);
      continue;
    }
    return folder;
  }
  return std::nullopt;
}

std::optional<ControlPlace> FindControlPlace(const std::vector<RuntimeCandidate>& candidates,
                                             uid_t self, std::string& problem) {
  for (const RuntimeCandidate& candidate : candidates) {
    const std::string socket = candidate.folder + "/" + kControlSocketFileName;
    struct stat st {};
    // Not there, or in a folder the caller may not enter: not the caller's driver.
    if (::lstat(socket.c_str(), &st) != 0) continue;
    std::string why;
    uid_t owner = self;
    if (self == 0 && candidate.place != RuntimePlace::User) {
      struct stat folder {};
      const std::string& ownedBy =
          candidate.place == RuntimePlace::System ? candidate.folder : Parent(candidate.folder);
      owner = ::lstat(ownedBy.c_str(), &folder) == 0 ? folder.st_uid : 0;
    }
    if (!OnlyOwnerCanChange(candidate.folder, owner, why)) {
      // keeps why
    } else if (!S_ISSOCK(st.st_mode)) {
      why = socket + " is not a socket";
    } else if (st.st_uid != owner && st.st_uid != 0) {
      why = socket + " belongs to another user";
    } else {
      return ControlPlace{candidate.folder, owner};
    }
    if (problem.empty()) problem = why;
  }
  return std::nullopt;
}

namespace {

std::string UserName(uid_t uid) {
  const passwd* user = ::getpwuid(uid);
  return user != nullptr ? user->pw_name : "uid " + std::to_string(uid);
}

// The instances that have a folder in base (the service's runtime folders).
std::vector<std::string> InstancesIn(const std::string& base) {
  std::vector<std::string> names;
  const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(base.c_str()), ::closedir);
  if (!folder) return names;
  while (const dirent* entry = ::readdir(folder.get())) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

std::string WhyNoControlPlace(const std::vector<RuntimeCandidate>& candidates,
                              const std::string& instance, bool dirGiven) {
  std::string looked;
  for (const RuntimeCandidate& candidate : candidates) {
    struct stat folder {};
    if (::lstat(candidate.folder.c_str(), &folder) != 0) {
      looked += (looked.empty() ? "" : ", ") + candidate.folder;
      continue;
    }
    struct stat socket {};
    const std::string path = candidate.folder + "/" + kControlSocketFileName;
    if (::lstat(path.c_str(), &socket) != 0 && errno == EACCES) {
      const std::string owner = UserName(folder.st_uid);
      const std::string ask = folder.st_uid == 0 ? "ask as root"
                                                 : "ask as " + owner + " (sudo -u " + owner +
                                                       " ruvo_drv ctl ...) or as root";
      return "instance " + instance + " has its folder " + candidate.folder +
             ", which belongs to " + owner + " and which this user may not look into: " + ask;
    }
    looked += (looked.empty() ? "" : ", ") + candidate.folder;
  }
  std::string text = "no driver runs as instance " + instance;
  if (!looked.empty()) text += " (no control socket in " + looked + ")";
  for (const RuntimeCandidate& candidate : candidates) {
    if (candidate.place != RuntimePlace::System) continue;
    std::string others;
    for (const std::string& name : InstancesIn(Parent(candidate.folder))) {
      if (name != instance) others += (others.empty() ? "" : ", ") + name;
    }
    if (!others.empty()) text += "; the service runs " + others + ": --instance NAME";
  }
  if (!dirGiven) {
    text += "; a driver that keeps its socket in its working folder is reached with --dir FOLDER";
  }
  return text;
}

}  // namespace ruvo
