#include "SyscallFaults.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include <sstream>

#include "E2eFiles.h"

namespace ruvo::e2e {

namespace {

constexpr char kStrace[] = "/usr/bin/strace";
constexpr int kAttachMs = 5000;

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ",") + name;
  return text;
}

}  // namespace

bool SyscallFaults::Available() { return access(kStrace, X_OK) == 0; }

bool SyscallFaults::Attach(pid_t pid, std::vector<std::string> args) {
  Detach();
  args.insert(args.begin(), {kStrace, "-f", "-o", output_});
  args.insert(args.end(), {"-p", std::to_string(pid)});
  std::remove(output_.c_str());
  if (!strace_.Start(args, output_ + ".out", output_ + ".err")) return false;
  attached_ = true;
  // "strace: Process N attached" once it is; a refusal ends strace.
  const bool attached = ruvo::testing::WaitUntil(
      [&] {
        return ReadBytes(output_ + ".err").find(" attached") != std::string::npos ||
               !strace_.Running();
      },
      kAttachMs);
  if (!attached || !strace_.Running()) {
    Detach();
    return false;
  }
  return true;
}

bool SyscallFaults::Trace(pid_t pid, const std::vector<std::string>& syscalls) {
  return Attach(pid, {"-e", "trace=" + Joined(syscalls)});
}

std::vector<std::string> SyscallFaults::Calls() const {
  std::vector<std::string> calls;
  std::istringstream trace(ReadBytes(output_));
  for (std::string line; std::getline(trace, line);) {
    if (line.find("+++") == std::string::npos && line.find("---") == std::string::npos) {
      calls.push_back(line);
    }
  }
  return calls;
}

bool SyscallFaults::Count(pid_t pid, const std::vector<std::string>& syscalls) {
  return Attach(pid, {"-c", "-e", "trace=" + Joined(syscalls)});
}

bool SyscallFaults::Inject(pid_t pid, const std::string& syscall, const std::string& action) {
  return Attach(pid, {"-e", "trace=" + syscall, "-e", "inject=" + syscall + ":" + action});
}

void SyscallFaults::Detach() {
  if (!attached_) return;
  attached_ = false;
  strace_.Stop(SIGTERM);
}

std::map<std::string, int> SyscallFaults::Counts() const {
  // strace -c: "% time  seconds  usecs/call  calls  [errors]  syscall", then a total.
  std::map<std::string, int> counts;
  std::istringstream table(ReadBytes(output_));
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::vector<std::string> f;
    for (std::string field; fields >> field;) f.push_back(field);
    if (f.size() < 5 || f.back() == "total" || f.back() == "syscall") continue;
    try {
      counts[f.back()] = std::stoi(f[3]);
    } catch (...) {
    }
  }
  return counts;
}

std::string SyscallFaults::Messages() const {
  return ReadBytes(output_ + ".err") + ReadBytes(output_);
}

}  // namespace ruvo::e2e
