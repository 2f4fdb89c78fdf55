// An idle driver: ruvo_drv headless with nothing to do, xruvo_sim behind COM1 (paced at
// 115,200 bit/s), measured from outside over a stretch of time (default 60 s, after 5 s
// to settle), once with the idle connection check on (every tick asks the ECR for its
// status), once with it off ("FaraVerificareConexiune"), and once with the check and the
// HTTP server on ("ServerHttp=DA", nobody connected); "PreluareImediata" is on every time,
// so the folder watch is part of what is measured.
//
// Reports, from /proc/<pid>: the CPU time of the driver (schedstat: nanoseconds on a
// CPU, all threads) as a share of one core; its wake-ups (voluntary context switches) per
// second; and what it wrote to the disk (io: write_bytes less cancelled_write_bytes, the
// bytes of pages it dirtied that were not thrown away before reaching the disk), beside
// the number of status file rewrites.
// Targets with the check on, with and without the HTTP server: below 0.05 % of one core;
// with the check off, about one wake a second; no disk writes beyond the status file's.
//
// Usage: bench_idle [seconds]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "BenchSupport.h"

namespace {

constexpr double kCpuTargetPercent = 0.05;

struct Sample {
  double cpuNs = 0;
  long long wakes = 0;
  long long writtenBytes = 0;  // write_bytes - cancelled_write_bytes
  bool ok = false;
};

long long Field(const std::string& text, const std::string& key) {
  const std::size_t at = text.find(key);
  if (at == std::string::npos) return -1;
  return std::atoll(text.c_str() + at + key.size());
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

Sample Take(pid_t pid) {
  const std::string base = "/proc/" + std::to_string(pid);
  Sample s;
  std::istringstream sched(ReadText(base + "/schedstat"));
  if (!(sched >> s.cpuNs)) return s;
  const std::string status = ReadText(base + "/status");
  s.wakes = Field(status, "voluntary_ctxt_switches:");
  const std::string io = ReadText(base + "/io");
  const long long written = Field(io, "\nwrite_bytes: ");
  const long long cancelled = Field(io, "cancelled_write_bytes: ");
  s.writtenBytes = written - cancelled;
  s.ok = s.wakes >= 0 && written >= 0;
  return s;
}

// Runs the driver idle on a fresh folder; false when something did not start.
bool Measure(const std::string& build, const std::string& link, bool idleCheck, bool httpServer,
             int seconds, bool& withinTarget) {
  bench::ScratchFolder folder("ruvo_bench_idle_");
  if (folder.Path().empty()) return false;
  std::ofstream settings(folder.Path() + "/XRUVODRV.INI", std::ios::binary);
  settings << "[Porturi]\r\nCOM1=" << link
           << "\r\n[Configurari]\r\nPort=1\r\nPreluareImediata=DA\r\n"
           << "FaraVerificareConexiune=" << (idleCheck ? "NU" : "DA") << "\r\n";
  if (httpServer) {
    const int port = bench::FreeLoopbackPort();
    if (port == 0) return false;
    settings << "ServerHttp=DA\r\nAdresaHttp=127.0.0.1:" << port << "\r\n";
  }
  settings.close();
  bench::Program driver({build + "/ruvo_drv", "--headless", "--dir", folder.Path(), "--instance",
                         "ruvo-bench-idle-" + std::to_string(getpid())},
                        folder.Path() + "/driver.out");
  const std::string status = folder.Path() + "/RUVODRV.INFO";
  if (!bench::WaitFor([&] { return bench::StatusValue(status, "ConectatLaCasa") == "DA"; }, 8000,
                      10000)) {
    std::fprintf(stderr, "bench_idle: the driver did not connect\n");
    return false;
  }
  // The token file is made when the server starts.
  if (httpServer && !bench::Exists(folder.Path() + "/ruvo-http.token")) {
    std::fprintf(stderr, "bench_idle: the HTTP server did not start\n");
    return false;
  }
  std::this_thread::sleep_for(std::chrono::seconds(5));
  const Sample before = Take(driver.Pid());
  const double wall0 = bench::WallMs();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const Sample after = Take(driver.Pid());
  const double wallMs = bench::WallMs() - wall0;
  if (!before.ok || !after.ok) {
    std::fprintf(stderr, "bench_idle: cannot read /proc/%d\n", static_cast<int>(driver.Pid()));
    return false;
  }
  const double cpuMs = (after.cpuNs - before.cpuNs) / 1e6;
  const double percent = 100.0 * cpuMs / wallMs;
  const double wakesPerSecond = static_cast<double>(after.wakes - before.wakes) * 1000.0 / wallMs;
  const long long written = after.writtenBytes - before.writtenBytes;
  std::printf(
      "idle %.0f s, connection check %s%s: CPU %.1f ms = %.4f %% of one core%s; "
      "%.1f wakes a second; %lld bytes written to the disk%s\n",
      wallMs / 1000.0, idleCheck ? "on" : "off", httpServer ? ", HTTP server on" : "", cpuMs,
      percent,
      idleCheck
          ? (percent < kCpuTargetPercent ? " (target < 0.05 %) OK" : " (target < 0.05 %) OVER")
          : "",
      wakesPerSecond, written,
      idleCheck ? " (the status file is rewritten after every check)" : "");
  if (idleCheck) withinTarget = withinTarget && percent < kCpuTargetPercent;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
  const std::string build = bench::BuildFolder();
  bench::ScratchFolder simFolder("ruvo_bench_idle_sim_");
  const std::string link = simFolder.Path() + "/ecr";
  bench::Program sim({build + "/xruvo_sim", "--link", link, "--paper", "/dev/null", "--pace"},
                     simFolder.Path() + "/sim.out");
  if (!bench::WaitFor([&] { return std::filesystem::is_symlink(link); }, 5000, 10000)) {
    std::fprintf(stderr, "bench_idle: xruvo_sim did not start (%s)\n", build.c_str());
    return 1;
  }
  bool withinTarget = true;
  if (!Measure(build, link, true, false, seconds, withinTarget)) return 1;
  if (!Measure(build, link, false, false, seconds, withinTarget)) return 1;
  if (!Measure(build, link, true, true, seconds, withinTarget)) return 1;
  return withinTarget ? 0 : 2;
}
