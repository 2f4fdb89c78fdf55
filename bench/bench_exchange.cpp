// ECR exchanges over a real pseudo-terminal to the xruvo_sim executable (not paced: the
// simulator answers at once, so what is measured is the driver and the pty).
//
// Reports:
//  - the driver's own time per exchange: a "1215" through TXruvoLinux and PosixSerialPort,
//    minus the same frame written and its answer read by a bare loop on the same device
//    (the simulator's answer time plus the pty itself). Link and bare rounds alternate, each
//    pair in turn order, so that a machine that gets busier or quieter during the run
//    shifts both alike; the figure is the median of the pairs' differences. Printed also as
//    the ratio of (wire time + own time) to the wire time of the exchange at 115,200 bit/s.
//    Target: own time below 0.2 ms.
//  - a whole connection check as the idle driver runs it once a second: the link object
//    made, its port opened (which reads the settings file for the port's device), "1215"
//    asked, the port closed and the object freed; and the same through the driver's
//    CheckConnection, which also rewrites the status file. CPU time of this process, median
//    per check. Target: below 0.1 ms of CPU for the link's part; the driver's whole check
//    is printed beside it.
//  - the CPU time the driver spends while it waits 5 s for a silent ECR. Target: below 5 ms.
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

#include "app/Driver.h"
#include "app/DriverContext.h"
#include "app/Operator.h"
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

// 10 bits a byte at 115,200 bit/s.
double WireMs(std::size_t bytes) { return static_cast<double>(bytes) * 10.0 / 115200.0 * 1000.0; }

// The bare loop's port: raw, as the driver's.
int OpenBare(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return -1;
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
  return fd;
}

int MeasureExchange() {
  Simulator sim({});
  if (!sim.Serving()) {
    std::fprintf(stderr, "bench_exchange: xruvo_sim did not start (%s)\n", SimulatorPath().c_str());
    return 1;
  }
  constexpr int kRounds = 300;
  constexpr int kExchangesPerRound = 5;
  ruvo::SystemClock clock;
  ruvo::NullEventPump pump;
  const std::string frame = ruvo::FrameLink::BuildFrame("1215");

  std::vector<double> link, bare, differences;
  std::size_t answerBytes = 0;
  for (int k = 0; k < kRounds; ++k) {
    double linkMs = 0;
    double bareMs = 0;
    for (int turn = 0; turn < 2; ++turn) {
      // Even rounds the link goes first, odd rounds the bare loop.
      if ((turn == 0) == (k % 2 == 0)) {
        ruvo::TXruvoLinux ecr(std::make_unique<ruvo::PosixSerialPort>(sim.Settings()), clock, pump);
        if (!ecr.Engine().OpenPort(1)) {
          std::fprintf(stderr, "bench_exchange: cannot open the simulator's port\n");
          return 1;
        }
        std::vector<double> times;
        for (int e = 0; e < kExchangesPerRound; ++e) {
          const double start = WallMs();
          if (!ecr.ReadStatus()) {
            std::fprintf(stderr, "bench_exchange: %s\n", ecr.Engine().LastError().c_str());
            return 1;
          }
          times.push_back(WallMs() - start);
        }
        answerBytes = static_cast<std::size_t>(ecr.Engine().RxCount());
        linkMs = Median(times);
      } else {
        const int fd = OpenBare(sim.Link());
        std::vector<double> times;
        for (int e = 0; e < kExchangesPerRound && fd >= 0; ++e)
          times.push_back(BareExchangeMs(fd, frame));
        if (fd >= 0) close(fd);
        if (times.empty() || *std::min_element(times.begin(), times.end()) < 0) {
          std::fprintf(stderr, "bench_exchange: bare exchange failed\n");
          return 1;
        }
        bareMs = Median(times);
      }
    }
    link.push_back(linkMs);
    bare.push_back(bareMs);
    differences.push_back(linkMs - bareMs);
  }

  const double own = Median(differences);
  const double wire = WireMs(frame.size() + answerBytes);
  std::printf(
      "exchange \"1215\": link %.3f ms, bare pty + simulator %.3f ms (medians of %d "
      "rounds of %d, alternating)\n",
      Median(link), Median(bare), kRounds, kExchangesPerRound);
  std::printf(
      "driver's own time per exchange: %.3f ms (median of the pairs' differences; "
      "target < 0.2 ms) %s; on the wire (%zu bytes, %.3f ms) that is a ratio of %.3f\n",
      own, own < 0.2 ? "OK" : "OVER", frame.size() + answerBytes, wire, (wire + own) / wire);
  return own < 0.2 ? 0 : 2;
}

// What the idle driver does once a second, as the link sees it.
bool LinkCheck(const Simulator& sim, ruvo::IClock& clock, ruvo::IEventPump& pump) {
  auto ecr =
      std::make_unique<ruvo::TXruvoLinux>(std::make_unique<ruvo::PosixSerialPort>(sim.Settings()),
                                          clock, pump);
  ecr->SetLongTimeOut(5);
  const bool connected = ecr->Engine().OpenPort(1) && ecr->ProbeStatus();
  ecr->Engine().ClosePort();
  return connected;
}

int MeasureConnectionCheck() {
  Simulator sim({});
  if (!sim.Serving()) return 1;
  constexpr int kChecks = 300;
  ruvo::SystemClock clock;
  ruvo::NullEventPump pump;
  ruvo::HeadlessOperator op;
  ruvo::PosixPortFactory ports(sim.Settings());
  // The driver's own check writes the status file beside the settings.
  const std::string folder = fs::path(sim.Settings()).parent_path().string();
  ruvo::Driver driver(ruvo::DriverContext{clock, pump, op, ports}, folder);

  std::vector<double> linkCpu, linkWall, driverCpu;
  for (int k = 0; k < kChecks; ++k) {
    double cpu = CpuMs();
    const double wall = WallMs();
    if (!LinkCheck(sim, clock, pump)) {
      std::fprintf(stderr, "bench_exchange: the connection check failed\n");
      return 1;
    }
    linkWall.push_back(WallMs() - wall);
    linkCpu.push_back(CpuMs() - cpu);
    cpu = CpuMs();
    driver.CheckConnection();
    driverCpu.push_back(CpuMs() - cpu);
    if (!driver.State().connected) {
      std::fprintf(stderr, "bench_exchange: the driver's check failed\n");
      return 1;
    }
  }
  const double cpu = Median(linkCpu);
  const double wire = WireMs(ruvo::FrameLink::BuildFrame("1215").size() + 32);
  std::printf(
      "whole connection check (link made, port opened, \"1215\", closed, freed): "
      "CPU %.3f ms, wall %.3f ms (medians of %d; target CPU < 0.1 ms) %s; its wire "
      "time is %.3f ms, so the CPU is %.1f %% of it\n",
      cpu, Median(linkWall), kChecks, cpu < 0.1 ? "OK" : "OVER", wire, 100 * cpu / wire);
  std::printf(
      "the driver's CheckConnection, with the status file rewritten: CPU %.3f ms "
      "(median of %d)\n",
      Median(driverCpu), kChecks);
  return cpu < 0.1 ? 0 : 2;
}

int MeasureSilentWait() {
  Simulator sim({"--fault", "silence always"});
  if (!sim.Serving()) return 1;
  ruvo::SystemClock clock;
  ruvo::NullEventPump pump;
  ruvo::TXruvoLinux ecr(std::make_unique<ruvo::PosixSerialPort>(sim.Settings()), clock, pump);
  if (!ecr.Engine().OpenPort(1)) return 1;
  ecr.Engine().SetTimeOut(5);
  const double cpu0 = CpuMs();
  const double wall0 = WallMs();
  const int result = ecr.Engine().SendCommand("1215");
  const double cpu = CpuMs() - cpu0;
  const double wall = WallMs() - wall0;
  std::printf("silent ECR: result %d after %.0f ms; CPU %.2f ms (target < 5 ms) %s\n", result, wall,
              cpu, cpu < 5.0 ? "OK" : "OVER");
  return (result == 8048 && cpu < 5.0) ? 0 : 2;
}

}  // namespace

int main() {
  const int exchange = MeasureExchange();
  const int check = MeasureConnectionCheck();
  const int wait = MeasureSilentWait();
  if (exchange != 0) return exchange;
  return check != 0 ? check : wait;
}
