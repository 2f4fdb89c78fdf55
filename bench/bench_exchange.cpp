// One ECR exchange over a real pseudo-terminal to the xruvo_sim executable.
//
// Reports:
//  - the driver's own time per exchange: a "1215" through TXruvoLinux and PosixSerialPort,
//    minus the same frame written and its answer read by a bare loop on the same device
//    (that bare loop is the simulator's answer time plus the pty itself);
//  - the CPU time the driver spends while it waits 5 s for a silent ECR.
// Targets: under 0.2 ms per exchange; under 5 ms of CPU per 5 s of waiting.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ecr/TXruvoLinux.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/PosixSerialPort.h"

namespace {

namespace fs = std::filesystem;

std::string SimulatorPath() {
  // Benchmarks live in build/bench/, the simulator in build/.
  return (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "xruvo_sim").string();
}

// xruvo_sim in a temporary folder, its pty linked as <dir>/ecr and mapped to COM1.
class Simulator {
 public:
  explicit Simulator(const std::vector<std::string>& extra) {
    char pattern[] = "/tmp/ruvo_bench_XXXXXX";
    if (mkdtemp(pattern) == nullptr) return;
    dir_ = pattern;
    link_ = dir_ + "/ecr";
    settings_ = dir_ + "/XRUVODRV.INI";
    std::ofstream(settings_) << "[Porturi]\r\nCOM1=" << link_ << "\r\n";
    std::vector<std::string> args = {SimulatorPath(), "--link", link_, "--paper", "/dev/null"};
    args.insert(args.end(), extra.begin(), extra.end());
    pid_ = fork();
    if (pid_ == 0) {
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      const int devnull = open("/dev/null", O_WRONLY);
      if (devnull >= 0) dup2(devnull, STDOUT_FILENO);
      execv(argv[0], argv.data());
      _exit(127);
    }
    for (int k = 0; k < 500 && !fs::is_symlink(link_); ++k) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~Simulator() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    std::error_code ignored;
    if (!dir_.empty()) fs::remove_all(dir_, ignored);
  }
  bool Serving() const { return pid_ > 0 && fs::is_symlink(link_); }
  const std::string& Settings() const { return settings_; }
  const std::string& Link() const { return link_; }

 private:
  pid_t pid_ = -1;
  std::string dir_, link_, settings_;
};

double CpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double WallMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The same exchange without the driver: write the frame, read until ETX after 11 bytes.
double BareExchangeMs(int fd, const std::string& frame) {
  const double start = WallMs();
  if (write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) return -1;
  unsigned char buf[1000];
  std::size_t got = 0;
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 2000) <= 0) return -1;
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) return -1;
    got += static_cast<std::size_t>(n);
    if (got >= 11 && buf[n - 1] == 0x03) break;
  }
  return WallMs() - start;
}

int MeasureExchange() {
  Simulator sim({});
  if (!sim.Serving()) {
    std::fprintf(stderr, "bench_exchange: xruvo_sim did not start (%s)\n", SimulatorPath().c_str());
    return 1;
  }
  constexpr int kRounds = 300;
  ruvo::SystemClock clock;
  ruvo::NullEventPump pump;

  std::vector<double> link;
  {
    ruvo::TXruvoLinux ecr(std::make_unique<ruvo::PosixSerialPort>(sim.Settings()), clock, pump);
    if (!ecr.OpenPort(1)) {
      std::fprintf(stderr, "bench_exchange: cannot open the simulator's port\n");
      return 1;
    }
    for (int k = 0; k < kRounds; ++k) {
      const double start = WallMs();
      if (!ecr.ReadStatus()) {
        std::fprintf(stderr, "bench_exchange: %s\n", ecr.LastError().c_str());
        return 1;
      }
      link.push_back(WallMs() - start);
    }
  }

  std::vector<double> bare;
  {
    const int fd = open(sim.Link().c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    const std::string frame = ruvo::TXruvoLinux::BuildFrame("1215");
    for (int k = 0; k < kRounds; ++k) {
      const double ms = BareExchangeMs(fd, frame);
      if (ms < 0) {
        std::fprintf(stderr, "bench_exchange: bare exchange failed\n");
        close(fd);
        return 1;
      }
      bare.push_back(ms);
    }
    close(fd);
  }

  const double own = Median(link) - Median(bare);
  std::printf("exchange \"1215\": link %.3f ms, bare pty + simulator %.3f ms (medians of %d)\n",
              Median(link), Median(bare), kRounds);
  std::printf("driver's own time per exchange: %.3f ms (target < 0.2 ms) %s\n", own,
              own < 0.2 ? "OK" : "OVER");
  return own < 0.2 ? 0 : 2;
}

int MeasureSilentWait() {
  Simulator sim({"--fault", "silence always"});
  if (!sim.Serving()) return 1;
  ruvo::SystemClock clock;
  ruvo::NullEventPump pump;
  ruvo::TXruvoLinux ecr(std::make_unique<ruvo::PosixSerialPort>(sim.Settings()), clock, pump);
  if (!ecr.OpenPort(1)) return 1;
  ecr.SetTimeOut(5);
  const double cpu0 = CpuMs();
  const double wall0 = WallMs();
  const int result = ecr.SendCommand("1215");
  const double cpu = CpuMs() - cpu0;
  const double wall = WallMs() - wall0;
  std::printf("silent ECR: result %d after %.0f ms; CPU %.2f ms (target < 5 ms) %s\n", result,
              wall, cpu, cpu < 5.0 ? "OK" : "OVER");
  return (result == 8048 && cpu < 5.0) ? 0 : 2;
}

}  // namespace

int main() {
  const int exchange = MeasureExchange();
  const int wait = MeasureSilentWait();
  return exchange != 0 ? exchange : wait;
}
