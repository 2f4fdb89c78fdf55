// A 200-line receipt file through the whole driver: ruvo_drv headless on a working
// folder, xruvo_sim behind COM1 answering at the wire time of 115,200 bit/s.
//
// Reports the time from pickup to response, less the driver's fixed pauses in between,
// divided by the wire time of the file's ECR exchanges: every byte sent and received,
// 10 bits each at 115,200 bit/s, counted from the exchange log ("LogFile" on). The paced
// simulator holds a request until its bytes would have crossed the wire and sends its
// answer byte by byte at wire time, so a driver that added nothing to the line would score
// 1. (The ratio to the answer bytes alone is printed as well.) Target: below 1.05.
//
// Pickup is the moment the driver deletes the old response file; the response is the
// moment the new one appears. The only fixed pause between them is the read's check that
// the sales application has finished writing (kStablePauseMs); "Delay" is 0.
//
// Also printed, to tell the driver's share from the simulator's: the span of the exchange
// log (the rest is reading, checking and answering the file) and the gaps between one
// exchange's result and the next request (the driver's own time between exchanges).
//
// Usage: bench_receipt [runs]   (default 3; the median is reported)
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "app/ReceiptFileReader.h"
#include "platform/IniFile.h"

namespace {

using namespace bench;

constexpr int kReceiptLines = 200;
constexpr double kTarget = 1.05;

std::set<std::string> LogFiles(const std::string& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) names.insert(entry.path().string());
  return names;
}

std::string ReceiptFile() {
  std::string text;
  for (int k = 1; k < kReceiptLines; ++k)
    text += "1;ARTICOL " + std::to_string(k) + ";BUC;1;1;100;100000\r\n";
  text += "5;" + std::to_string((kReceiptLines - 1) * 100) + ";1\r\n";
  return text;
}

struct Run {
  double pickupToResponseMs = 0;
  double wireMs = 0;    // bytes sent and received
  double answerMs = 0;  // bytes received: the only ones the simulator paces
  WireCount wire;
};

bool RunOnce(const std::string& folder, Run& run) {
  const std::string response = folder + "/ERROR.TXT";
  const std::string receipt = folder + "/ONLINE.TXT";
  const std::string logFolder = folder + "/Log";
  std::ofstream(response, std::ios::binary) << "stale\r\n";
  const std::set<std::string> logsBefore = LogFiles(logFolder);
  {
    const std::string temporary = folder + "/ONLINE.TMP";
    std::ofstream(temporary, std::ios::binary) << ReceiptFile();
    if (rename(temporary.c_str(), receipt.c_str()) != 0) return false;
  }
  if (!WaitFor([&] { return !Exists(response); }, 5000)) {
    std::fprintf(stderr, "bench_receipt: the file was not picked up\n");
    return false;
  }
  const double pickup = WallMs();
  if (!WaitFor([&] { return Exists(response); }, 60000)) {
    std::fprintf(stderr, "bench_receipt: no response\n");
    return false;
  }
  const double answered = WallMs();
  WaitFor([&] { return !Exists(receipt); }, 5000, 1000);
  const std::string answer = ReadAll(response);
  if (answer.rfind("0 OK\r\n", 0) != 0) {
    std::fprintf(stderr, "bench_receipt: the receipt was not printed:\n%s", answer.c_str());
    return false;
  }
  std::string logPath;
  for (const std::string& name : LogFiles(logFolder))
    if (logsBefore.count(name) == 0) logPath = name;
  if (logPath.empty()) {
    std::fprintf(stderr, "bench_receipt: no exchange log in %s\n", logFolder.c_str());
    return false;
  }
  run.wire = CountWire(logPath);
  run.wireMs = static_cast<double>(run.wire.sent + run.wire.received) * kBitsPerByte /
               kBitsPerSecond * 1000.0;
  run.answerMs = static_cast<double>(run.wire.received) * kBitsPerByte / kBitsPerSecond * 1000.0;
  run.pickupToResponseMs = answered - pickup - static_cast<double>(ruvo::kStablePauseMs);
  // The driver's pause after a file, before it looks for the next one.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  return run.wireMs > 0;
}

std::string StatusValue(const std::string& path, const std::string& key) {
  ruvo::IniFile ini;
  if (!ini.Load(path)) return "";
  return ini.ReadString("INFO", key, "");
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  char pattern[] = "/tmp/ruvo_bench_receipt_XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::string folder = pattern;
  const std::string link = folder + "/ecr";
  const std::string build = BuildFolder();
  std::ofstream(folder + "/XRUVODRV.INI", std::ios::binary)
      << "[Porturi]\r\nCOM1=" << link << "\r\n[Configurari]\r\nPort=1\r\nLogFile=DA\r\nDelay=0\r\n";

  int status = 1;
  {
    Program sim({build + "/xruvo_sim", "--link", link, "--paper", folder + "/paper.txt", "--pace"},
                folder + "/sim.out");
    WaitFor([&] { return fs::is_symlink(link); }, 5000, 10000);
    Program driver({build + "/ruvo_drv", "--headless", "--dir", folder, "--instance",
                    "ruvo-bench-receipt-" + std::to_string(getpid())},
                   folder + "/driver.out");
    const bool connected = WaitFor(
        [&] { return StatusValue(folder + "/RUVODRV.INFO", "ConectatLaCasa") == "DA"; }, 8000, 10000);
    if (!sim.Started() || !driver.Started() || !connected) {
      std::fprintf(stderr, "bench_receipt: driver or simulator did not start (%s)\n", build.c_str());
    } else {
      std::vector<Run> done;
      for (int k = 0; k < runs; ++k) {
        Run run;
        if (!RunOnce(folder, run)) break;
        std::printf("run %d: %d requests, %lld bytes sent, %lld received; wire %.1f ms "
                    "(answers %.1f ms); pickup to response %.1f ms (less %lld ms of fixed "
                    "pause), of which the exchange log spans %lld ms and the gaps between "
                    "exchanges %lld ms; ratio %.3f (to the answers alone %.3f)\n",
                    k + 1, run.wire.requests, run.wire.sent, run.wire.received, run.wireMs,
                    run.answerMs, run.pickupToResponseMs,
                    static_cast<long long>(ruvo::kStablePauseMs),
                    run.wire.lastStampMs - run.wire.firstStampMs, run.wire.betweenMs,
                    run.pickupToResponseMs / run.wireMs, run.pickupToResponseMs / run.answerMs);
        done.push_back(run);
      }
      if (static_cast<int>(done.size()) == runs) {
        std::vector<double> ratios;
        for (const Run& r : done) ratios.push_back(r.pickupToResponseMs / r.wireMs);
        std::sort(ratios.begin(), ratios.end());
        const double median = ratios[ratios.size() / 2];
        std::printf("%d-line receipt at 115,200 bit/s: time / wire time = %.3f (median of %d; "
                    "target < %.2f) %s\n",
                    kReceiptLines, median, runs, kTarget, median < kTarget ? "OK" : "OVER");
        status = median < kTarget ? 0 : 2;
      }
    }
    driver.Stop();
    sim.Stop();
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return status;
}
