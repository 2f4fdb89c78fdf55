#pragma once
// What the benchmarks that run ruvo_drv and xruvo_sim as programs share: where the programs
// are, a wall clock, waiting for a condition, a program started and stopped by the
// benchmark, and the status file's values.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/IniFile.h"

namespace bench {

inline std::string BuildFolder() {
  // Benchmarks live in build/bench/, the programs in build/.
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path().string();
}

inline double WallMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// Polls condition every pollUs for at most timeoutMs.
template <typename Condition>
bool WaitFor(Condition condition, double timeoutMs, int pollUs = 100) {
  const double deadline = WallMs() + timeoutMs;
  while (WallMs() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::microseconds(pollUs));
  }
  return condition();
}

// A program run by the benchmark, its standard output and error in outPath(.err); stopped
// with SIGTERM (SIGKILL after 5 s) when the object goes.
class Program {
 public:
  Program(const std::vector<std::string>& args, const std::string& outPath) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::fflush(nullptr);  // or the child would print what is still buffered here
    pid_ = fork();
    if (pid_ == 0) {
      std::FILE* out = std::freopen(outPath.c_str(), "w", stdout);
      std::FILE* err = std::freopen((outPath + ".err").c_str(), "w", stderr);
      (void)out;
      (void)err;
      execv(argv[0], argv.data());
      _exit(127);
    }
  }
  ~Program() { Stop(); }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    if (!WaitFor([&] { return waitpid(pid_, nullptr, WNOHANG) == pid_; }, 5000, 10000)) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

inline std::string StatusValue(const std::string& path, const std::string& key) {
  ruvo::IniFile ini;
  if (!ini.Load(path)) return "";
  return ini.ReadString("INFO", key, "");
}

// A fresh folder under /tmp, removed with everything in it at the end.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix) {
    std::string pattern = "/tmp/" + prefix + "XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace bench
