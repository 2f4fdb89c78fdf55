#pragma once

// What the benchmarks that run the programs share: starting and stopping a program, fine
// polling, the bytes on the line counted from an exchange log, the sale they send and a free
// loopback port.
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/IniFile.h"

namespace bench {

namespace fs = std::filesystem;

inline constexpr double kBitsPerByte = 10.0;
inline constexpr double kBitsPerSecond = 115200.0;

inline std::string BuildFolder() {
  // Benchmarks live in build/bench/, the programs in build/.
  return fs::read_symlink("/proc/self/exe").parent_path().parent_path().string();
}

inline double WallMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

inline bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Polls condition, finely (the measurement rests on it), for at most timeoutMs.
template <typename Condition>
bool WaitFor(Condition condition, double timeoutMs, int pollUs = 100) {
  const double deadline = WallMs() + timeoutMs;
  while (WallMs() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::microseconds(pollUs));
  }
  return condition();
}

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

// What the exchange log says of the line: the bytes of every "LogBytes" line, which is
// the time stamp, a direction and nothing but two-digit hexadecimal bytes and blanks.
struct WireCount {
  long long sent = 0;
  long long received = 0;
  int requests = 0;
  long long firstStampMs = -1;  // the log's first and last time stamps
  long long lastStampMs = -1;
  // The driver's own time between two exchanges: from the result of one to the bytes of
  // the next.
  long long betweenMs = 0;
};

// "hh:mm:ss:zzz" in milliseconds since midnight; -1 when the line does not start so.
inline long long StampMs(const std::string& line) {
  int h = 0, m = 0, s = 0, ms = 0;
  if (line.size() < 12 || std::sscanf(line.c_str(), "%2d:%2d:%2d:%3d", &h, &m, &s, &ms) != 4)
    return -1;
  return ((h * 60LL + m) * 60 + s) * 1000 + ms;
}

inline long long HexBytes(const std::string& rest) {
  if (rest.empty() || rest.size() % 3 != 0) return -1;
  for (std::size_t k = 0; k < rest.size(); k += 3) {
    if (!std::isxdigit(static_cast<unsigned char>(rest[k])) ||
        !std::isxdigit(static_cast<unsigned char>(rest[k + 1])) || rest[k + 2] != ' ')
      return -1;
  }
  return static_cast<long long>(rest.size() / 3);
}

inline WireCount CountWire(const std::string& logPath) {
  WireCount count;
  std::ifstream in(logPath, std::ios::binary);
  std::string line;
  const std::string sent = "-Calculator : ";
  const std::string received = "-Ecr        : ";
  constexpr std::size_t kStamp = 12;  // "hh:mm:ss:zzz"
  long long lastResult = -1;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const long long stamp = StampMs(line);
    if (stamp >= 0) {
      if (count.firstStampMs < 0) count.firstStampMs = stamp;
      count.lastStampMs = stamp;
    }
    if (line.compare(kStamp, 14, "-Ecr result : ") == 0 ||
        line.compare(kStamp, 14, "-Imprimanta : ") == 0)
      lastResult = stamp;
    if (line.size() <= kStamp + sent.size()) continue;
    const std::string direction = line.substr(kStamp, sent.size());
    const long long bytes = HexBytes(line.substr(kStamp + sent.size()));
    if (bytes < 0) continue;  // a command text or a result, not bytes on the line
    if (direction == sent) {
      if (lastResult >= 0) count.betweenMs += stamp - lastResult;
      lastResult = -1;
      count.sent += bytes;
      ++count.requests;
    } else if (direction == received) {
      count.received += bytes;
    }
  }
  return count;
}

// The time the counted bytes take on the line, in milliseconds.
inline double WireMs(const WireCount& wire) {
  return static_cast<double>(wire.sent + wire.received) * kBitsPerByte / kBitsPerSecond * 1000.0;
}

// The paths of a folder's entries; none when it cannot be read.
inline std::set<std::string> LogFiles(const std::string& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error))
    names.insert(entry.path().string());
  return names;
}

inline std::string StatusValue(const std::string& path, const std::string& key) {
  ruvo::IniFile ini;
  if (!ini.Load(path)) return "";
  return ini.ReadString("INFO", key, "");
}

// A sale of that many lines: one article a line, 1.00 each, then its payment.
inline std::vector<std::string> ReceiptLines(int lines) {
  std::vector<std::string> text;
  for (int k = 1; k < lines; ++k)
    text.push_back("1;ARTICOL " + std::to_string(k) + ";BUC;1;1;100;100000\r\n");
  text.push_back("5;" + std::to_string((lines - 1) * 100) + ";1\r\n");
  return text;
}

inline std::string ReceiptFile(int lines) {
  std::string text;
  for (const std::string& line : ReceiptLines(lines)) text += line;
  return text;
}

// What the machine took from the programs over a stretch of time, to tell a slow driver
// from a busy machine: the time the hypervisor ran others on this machine's processors
// (steal, in 10 ms ticks, over all of them), and the time the driver's and the
// simulator's threads were ready to run but had no processor (the kernel's run-queue
// wait). Neither is subtracted from anything; they are printed beside the figures.
struct MachineTime {
  double stealMs = 0;
  double driverWaitMs = 0;
  double simWaitMs = 0;
};

// Every thread's run-queue wait of one process, in milliseconds.
inline double RunQueueWaitMs(pid_t pid) {
  double total = 0;
  std::error_code error;
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  for (const auto& task : fs::directory_iterator(tasks, error)) {
    std::ifstream in(task.path() / "schedstat");
    unsigned long long onCpu = 0, waiting = 0;
    if (in >> onCpu >> waiting) total += static_cast<double>(waiting) / 1e6;
  }
  return total;
}

inline double StealMs() {
  std::ifstream in("/proc/stat");
  std::string cpu;
  unsigned long long field[8] = {};
  in >> cpu;
  for (unsigned long long& f : field) in >> f;
  return static_cast<double>(field[7]) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

inline MachineTime ReadMachineTime(pid_t driver, pid_t sim) {
  return MachineTime{StealMs(), RunQueueWaitMs(driver), RunQueueWaitMs(sim)};
}

inline MachineTime operator-(const MachineTime& after, const MachineTime& before) {
  return MachineTime{after.stealMs - before.stealMs, after.driverWaitMs - before.driverWaitMs,
                     after.simWaitMs - before.simWaitMs};
}

// A TCP port of 127.0.0.1 that nothing listens on now, for a driver's HTTP server: the
// default port may be taken by another driver or a test on the same machine. 0 when none.
inline int FreeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  close(fd);
  return port;
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
