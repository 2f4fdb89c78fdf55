// A sale over the driver's HTTP server: ruvo_drv headless with "ServerHttp=DA" (and
// "PreluareImediata" and "LogFile" on), xruvo_sim behind COM1 answering at the wire time of
// 115,200 bit/s ("--pace").
//
// Each run posts a 20-line sale, `POST /v1/receipts?wait=30` with a fresh Idempotency-Key
// and the token of the working folder's token file, on a fresh connection, at a random
// moment (so at any point of the driver's once-a-second rhythm), and times it from the
// first byte of the request sent to the last byte of the answer received. The client is
// the few lines of HTTP/1.1 below on a plain socket, so what is timed is the driver's.
//
// The figure is that time over the wire time of the receipt's ECR exchanges: every byte
// sent and received, 10 bits each at 115,200 bit/s, counted from the receipt's exchange
// log. Nothing is subtracted: the request's parse, the key's record and its flush, the
// receipt file written and picked up, the run, the answer taken into the record and the
// reply are all counted. Target: median below 1.2.
//
// Usage: bench_http [runs] (default 15)
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"

namespace {

using namespace bench;

constexpr int kSaleLines = 20;
constexpr double kMedianTarget = 1.2;
constexpr int kWaitSeconds = 30;
constexpr double kAnswerTimeoutMs = (kWaitSeconds + 10) * 1000.0;

// An answer as it came off the socket, with the times of the first byte sent and the
// last byte received.
struct Reply {
  int status = 0;
  std::string head;
  std::string body;
  double sentMs = 0;
  double lastByteMs = 0;
};

// The value of a header in head (names compared without case), or "".
std::string HeaderValue(const std::string& head, const std::string& name) {
  std::size_t at = head.find("\r\n");
  while (at != std::string::npos && at + 2 < head.size()) {
    const std::size_t start = at + 2;
    const std::size_t end = head.find("\r\n", start);
    const std::string line = head.substr(start, end - start);
    const std::size_t colon = line.find(':');
    if (colon == name.size() &&
        std::equal(name.begin(), name.end(), line.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        })) {
      const std::size_t value = line.find_first_not_of(' ', colon + 1);
      return value == std::string::npos ? "" : line.substr(value);
    }
    at = end;
  }
  return "";
}

// One HTTP/1.1 request on a fresh connection to 127.0.0.1:port; the whole answer is read
// (by its Content-Length, or to the end of the connection when it has none).
bool Exchange(int port, const std::string& request, Reply& reply) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  struct Closed {
    int fd;
    ~Closed() { close(fd); }
  } closed{fd};
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return false;

  reply.sentMs = WallMs();
  for (std::size_t done = 0; done < request.size();) {
    const ssize_t n = send(fd, request.data() + done, request.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  std::string received;
  std::size_t headEnd = std::string::npos;
  long long expected = -1;  // the whole answer's size, once its head is known
  const double deadline = reply.sentMs + kAnswerTimeoutMs;
  char buffer[16384];
  for (;;) {
    const double left = deadline - WallMs();
    if (left <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left) + 1) <= 0) continue;
    const ssize_t n = read(fd, buffer, sizeof buffer);
    const double now = WallMs();
    if (n < 0) return false;
    if (n == 0) {  // the end of the connection
      if (headEnd == std::string::npos || expected >= 0) return false;
      break;
    }
    received.append(buffer, static_cast<std::size_t>(n));
    reply.lastByteMs = now;
    if (headEnd == std::string::npos) {
      headEnd = received.find("\r\n\r\n");
      if (headEnd == std::string::npos) continue;
      const std::string length = HeaderValue(received.substr(0, headEnd + 2), "Content-Length");
      if (!length.empty())
        expected = static_cast<long long>(headEnd + 4) + std::atoll(length.c_str());
    }
    if (expected >= 0 && static_cast<long long>(received.size()) >= expected) break;
  }
  reply.head = received.substr(0, headEnd + 2);
  reply.body = received.substr(headEnd + 4);
  if (reply.head.rfind("HTTP/1.", 0) != 0 || reply.head.size() < 12) return false;
  reply.status = std::atoi(reply.head.c_str() + 9);
  return true;
}

std::string SaleRequest(int port, const std::string& token, const std::string& key) {
  std::string body;
  for (std::string line : ReceiptLines(kSaleLines)) {
    line.resize(line.size() - 2);  // the body's lines end in LF
    body += line + "\n";
  }
  std::string request = "POST /v1/receipts?wait=" + std::to_string(kWaitSeconds) + " HTTP/1.1\r\n";
  request += "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
  request += "Authorization: Bearer " + token + "\r\n";
  request += "Idempotency-Key: " + key + "\r\n";
  request += "Content-Type: text/plain; charset=utf-8\r\n";
  request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  request += "Connection: close\r\n\r\n";
  return request + body;
}

struct Run {
  double ms = 0;      // first byte sent to last byte received
  double wireMs = 0;  // bytes sent and received on the line
  WireCount wire;
  MachineTime machine;  // over the same stretch as ms
  double Ratio() const { return ms / wireMs; }
  // The time beyond the exchange log's span: the driver's work before the receipt's first
  // exchange and after its last one (to the log's millisecond).
  double OwnMs() const { return ms - static_cast<double>(wire.lastStampMs - wire.firstStampMs); }
};

// The exchange log of the HTTP receipt ("Log_H<id>_<stamp>.TXT") that was not there before.
std::string NewReceiptLog(const std::string& logFolder, const std::set<std::string>& before) {
  for (const std::string& path : LogFiles(logFolder)) {
    if (before.count(path) == 0 && fs::path(path).filename().string().rfind("Log_H", 0) == 0)
      return path;
  }
  return "";
}

// A driver with its HTTP server on a fresh working folder, the simulator on COM1.
class HttpDriver {
 public:
  HttpDriver(const std::string& build, const std::string& link) : folder_("ruvo_bench_http_") {
    port_ = FreeLoopbackPort();
    if (folder_.Path().empty() || port_ == 0) return;
    std::ofstream(folder_.Path() + "/XRUVODRV.INI", std::ios::binary)
        << "[Porturi]\r\nCOM1=" << link
        << "\r\n[Configurari]\r\nPort=1\r\nLogFile=DA\r\nDelay=0\r\nPreluareImediata=DA\r\n"
        << "ServerHttp=DA\r\nAdresaHttp=127.0.0.1:" << port_ << "\r\n";
    driver_ =
        std::make_unique<Program>(std::vector<std::string>{build + "/ruvo_drv", "--headless",
                                                           "--dir", folder_.Path(), "--instance",
                                                           "ruvo-bench-http-" +
                                                               std::to_string(getpid())},
                                  folder_.Path() + "/driver.out");
    const std::string status = folder_.Path() + "/RUVODRV.INFO";
    connected_ =
        WaitFor([&] { return StatusValue(status, "ConectatLaCasa") == "DA"; }, 8000, 10000);
    std::string line;
    std::ifstream(folder_.Path() + "/ruvo-http.token") >> line;
    token_ = line;
  }
  ~HttpDriver() { driver_.reset(); }  // stopped before its folder goes
  HttpDriver(const HttpDriver&) = delete;
  HttpDriver& operator=(const HttpDriver&) = delete;

  bool Ready() const { return connected_ && !token_.empty(); }
  const std::string& Folder() const { return folder_.Path(); }
  int Port() const { return port_; }
  const std::string& Token() const { return token_; }
  pid_t Pid() const { return driver_ ? driver_->Pid() : 0; }

 private:
  ScratchFolder folder_;
  int port_ = 0;
  std::unique_ptr<Program> driver_;
  bool connected_ = false;
  std::string token_;
};

// One sale posted at a random moment; its answer must say it was printed.
bool PostSale(HttpDriver& driver, pid_t sim, int index, std::mt19937& random, Run& run) {
  std::uniform_int_distribution<int> moment(0, 999);
  std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
  const std::string logFolder = driver.Folder() + "/Log";
  const std::set<std::string> logsBefore = LogFiles(logFolder);
  const std::string key =
      "bench-" + std::to_string(getpid()) + "-" + std::to_string(index) + "-" +
      std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  Reply reply;
  const MachineTime before = ReadMachineTime(driver.Pid(), sim);
  if (!Exchange(driver.Port(), SaleRequest(driver.Port(), driver.Token(), key), reply)) {
    std::fprintf(stderr, "bench_http: no whole answer to the sale\n");
    return false;
  }
  run.machine = ReadMachineTime(driver.Pid(), sim) - before;
  run.ms = reply.lastByteMs - reply.sentMs;
  if (reply.status != 200 || reply.body.find("\"ok\":true") == std::string::npos) {
    std::fprintf(stderr, "bench_http: the sale was not printed:\n%s\r\n%s\n", reply.head.c_str(),
                 reply.body.c_str());
    return false;
  }
  // The exchange log is written once the answer is out; the driver's pause after a file
  // (a second) is let pass, so the next sale does not arrive during it.
  std::string logPath;
  WaitFor([&] { return !(logPath = NewReceiptLog(logFolder, logsBefore)).empty(); }, 5000, 1000);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  if (logPath.empty()) {
    std::fprintf(stderr, "bench_http: no exchange log of the receipt in %s\n", logFolder.c_str());
    return false;
  }
  run.wire = CountWire(logPath);
  run.wireMs = WireMs(run.wire);
  return run.wireMs > 0;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const std::string build = BuildFolder();
  ScratchFolder simFolder("ruvo_bench_http_sim_");
  const std::string link = simFolder.Path() + "/ecr";
  std::mt19937 random(12345);

  std::vector<Run> done;
  {
    Program sim({build + "/xruvo_sim", "--link", link, "--paper", "/dev/null", "--pace"},
                simFolder.Path() + "/sim.out");
    if (!WaitFor([&] { return fs::is_symlink(link); }, 5000, 10000)) {
      std::fprintf(stderr, "bench_http: xruvo_sim did not start (%s)\n", build.c_str());
      return 1;
    }
    HttpDriver driver(build, link);
    if (!driver.Ready()) {
      std::fprintf(stderr, "bench_http: the driver, its HTTP server or its token is missing\n");
      return 1;
    }
    for (int k = 0; k < runs; ++k) {
      Run run;
      if (!PostSale(driver, sim.Pid(), k, random, run)) return 1;
      done.push_back(run);
    }
  }

  std::vector<double> ratios, ms, wire, own;
  for (std::size_t k = 0; k < done.size(); ++k) {
    const Run& r = done[k];
    std::printf(
        "  sale %zu: %d requests, %lld bytes sent, %lld received, wire %.1f ms; %.1f ms "
        "(exchange log spans %lld ms, gaps between exchanges %lld ms, beyond the span %.1f "
        "ms); ratio %.3f; steal %.0f ms, run-queue wait: driver %.2f ms, simulator %.2f ms\n",
        k + 1, r.wire.requests, r.wire.sent, r.wire.received, r.wireMs, r.ms,
        r.wire.lastStampMs - r.wire.firstStampMs, r.wire.betweenMs, r.OwnMs(), r.Ratio(),
        r.machine.stealMs, r.machine.driverWaitMs, r.machine.simWaitMs);
    ratios.push_back(r.Ratio());
    ms.push_back(r.ms);
    wire.push_back(r.wireMs);
    own.push_back(r.OwnMs());
  }
  const double median = Median(ratios);
  const double worst = *std::max_element(ratios.begin(), ratios.end());
  const bool ok = median < kMedianTarget;
  std::printf(
      "%d-line sale over HTTP (POST /v1/receipts?wait=%d), first byte sent to last byte of "
      "the answer: median %.1f ms for %.1f ms of wire; of it beyond the exchange log's span "
      "%.1f ms median; ratio %.3f median, %.3f worst of %d (target: median < %.2f) %s\n",
      kSaleLines, kWaitSeconds, Median(ms), Median(wire), Median(own), median, worst, runs,
      kMedianTarget, ok ? "OK" : "OVER");
  return ok ? 0 : 2;
}
