// A 20-line sale through a serial device server against the same sale on the direct
// pseudo-terminal, in one run: xruvo_sim answering at the wire time of 115,200 bit/s
// ("--pace"), one headless driver with "PreluareImediata", and ser2net (Debian's software
// serial device server) in front of the simulator's line with a telnet(rfc2217) accepter.
// The sales alternate between the two ways, by changing what "Porturi" maps COM1 to (the
// driver reads it at every open), so that the machine's load falls on both alike.
//
// Measured: drop (the receipt file renamed into the folder) to answer (the receipt file gone
// and ERROR.TXT there), for each way; the median over the runs of each.
// Target: median through ser2net (RFC 2217, "chardelay: false" as README.md advises) at most
// 1.15 times the median on the direct line. ser2net's default "chardelay" (it waits at least
// a millisecond for more bytes before passing an answer on) is measured beside it, no target.
//
//   build/bench/bench_device_server [runs]     (15 by default; needs /usr/sbin/ser2net)
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchSupport.h"

namespace {

using namespace bench;

constexpr int kSaleLines = 20;
constexpr double kTarget = 1.15;
// The driver's pause after a file, and a margin, before the next drop.
constexpr int kBetweenFilesMs = 1150;

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void WriteSettings(const std::string& folder, const std::string& com1) {
  const std::string path = folder + "/XRUVODRV.INI";
  std::ofstream out(path + ".new", std::ios::binary | std::ios::trunc);
  out << "[Porturi]\r\nCOM1=" << com1
      << "\r\n[Configurari]\r\nPort=1\r\nPreluareImediata=DA\r\nFaraVerificareConexiune=DA\r\n";
  out.close();
  std::rename((path + ".new").c_str(), path.c_str());
}

// One sale on whatever COM1 maps to now: drop to answer, in milliseconds; -1 on failure.
double Sale(const std::string& folder) {
  const std::string receipt = folder + "/ONLINE.TXT";
  const std::string answer = folder + "/ERROR.TXT";
  std::remove(answer.c_str());
  {
    std::ofstream out(folder + "/ONLINE.TMP", std::ios::binary | std::ios::trunc);
    out << ReceiptFile(kSaleLines);
  }
  const double start = WallMs();
  std::rename((folder + "/ONLINE.TMP").c_str(), receipt.c_str());
  if (!WaitFor([&] { return !Exists(receipt) && Exists(answer); }, 20000)) return -1;
  const double ms = WallMs() - start;
  if (ReadAll(answer).rfind("0 OK\r\n", 0) != 0) {
    std::fprintf(stderr, "bench_device_server: not printed:\n%s", ReadAll(answer).c_str());
    return -1;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(kBetweenFilesMs));
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  if (!Exists("/usr/sbin/ser2net")) {
    std::fprintf(stderr, "bench_device_server: ser2net is not installed\n");
    return 77;
  }
  char pattern[] = "/tmp/ruvo_bench_net_XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::string folder = pattern;
  struct RemovedAtEnd {
    std::string folder;
    ~RemovedAtEnd() {
      std::error_code ignored;
      fs::remove_all(folder, ignored);
    }
  } removed{folder};
  const std::string build = BuildFolder();
  const std::string link = folder + "/ecr";
  const int quick = FreeLoopbackPort();
  int plain = FreeLoopbackPort();
  while (plain == quick) plain = FreeLoopbackPort();
  {
    std::ofstream yaml(folder + "/ser2net.yaml");
    yaml << "connection: &quick\n  accepter: telnet(rfc2217),tcp,127.0.0.1," << quick
         << "\n  connector: serialdev," << link << ",115200n81,local\n"
         << "  options:\n    chardelay: false\n"
         << "connection: &plain\n  accepter: telnet(rfc2217),tcp,127.0.0.1," << plain
         << "\n  connector: serialdev," << link << ",115200n81,local\n";
  }
  mkdir((folder + "/drv").c_str(), 0755);
  const std::string drv = folder + "/drv";

  Program sim({build + "/xruvo_sim", "--link", link, "--paper", folder + "/paper.txt", "--pace"},
              folder + "/sim.out");
  WaitFor([&] { return fs::is_symlink(link); }, 5000, 10000);
  Program server({"/usr/sbin/ser2net", "-n", "-u", "-c", folder + "/ser2net.yaml", "-P",
                  folder + "/ser2net.pid"},
                 folder + "/ser2net.out");
  WriteSettings(drv, link);
  Program driver({build + "/ruvo_drv", "--headless", "--dir", drv, "--instance",
                  "bench-net-" + std::to_string(getpid())},
                 folder + "/driver.out");
  if (!WaitFor([&] { return StatusValue(drv + "/RUVODRV.INFO", "ConectatLaCasa") == "DA"; }, 10000,
               10000)) {
    std::fprintf(stderr, "bench_device_server: the driver did not connect\n");
    return 1;
  }
  const std::string quickUrl = "rfc2217://127.0.0.1:" + std::to_string(quick);
  const std::string plainUrl = "rfc2217://127.0.0.1:" + std::to_string(plain);
  std::vector<double> direct, network, networkDefault;
  // One of each first, not counted: the first connection of each way warms caches.
  for (int k = -1; k < runs; ++k) {
    WriteSettings(drv, link);
    const double d = Sale(drv);
    WriteSettings(drv, quickUrl);
    const double n = Sale(drv);
    WriteSettings(drv, plainUrl);
    const double p = Sale(drv);
    if (d < 0 || n < 0 || p < 0) {
      std::fprintf(stderr, "bench_device_server: a sale failed (%s)\n",
                   ReadAll(folder + "/driver.out.err").c_str());
      return 1;
    }
    if (k < 0) continue;
    direct.push_back(d);
    network.push_back(n);
    networkDefault.push_back(p);
    std::printf("run %2d: direct %.1f ms, rfc2217 %.1f ms, rfc2217 with chardelay %.1f ms\n", k + 1,
                d, n, p);
  }
  const double ratio = Median(network) / Median(direct);
  const double ratioDefault = Median(networkDefault) / Median(direct);
  std::printf(
      "%d-line sale, drop to answer, median of %d: direct pty %.1f ms; through ser2net "
      "(RFC 2217, chardelay false) %.1f ms, ratio %.3f (target <= %.2f) %s; with ser2net's "
      "default chardelay %.1f ms, ratio %.3f (no target)\n",
      kSaleLines, runs, Median(direct), Median(network), ratio, kTarget,
      ratio <= kTarget ? "OK" : "OVER", Median(networkDefault), ratioDefault);
  return ratio <= kTarget ? 0 : 2;
}
