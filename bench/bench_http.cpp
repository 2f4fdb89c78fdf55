// A sale over the driver's HTTP server: ruvo_drv headless with "ServerHttp=DA" (and
// "PreluareImediata" and "LogFile" on), xruvo_sim behind COM1 answering at the wire time of
// 115,200 bit/s ("--pace").
//
// Each run posts a 20-line sale, `POST /v1/receipts?wait=30` with a fresh Idempotency-Key
// and the token of the working folder's token file, on one kept-alive connection (as a
// till keeps its connection), at a random moment (so at any point of the driver's
// once-a-second rhythm), and times it from the first byte of the request sent to the last
// byte of the answer received. The client is the few lines of HTTP/1.1 below on a plain
// socket, or on a GnuTLS session over it, so what is timed is the driver's.
//
// Twice: in plain HTTP on 127.0.0.1, then in HTTPS on 127.0.0.2 (any address but
// 127.0.0.1 and [::1] is served in HTTPS only, with the certificate the driver makes).
//
// Beside each sale, the same receipt as a receipt file, dropped (renamed into the folder)
// at a random moment, timed from the rename to its answer being there; the two take turns
// going first. The figure is the HTTP sale's median over the file's median: what a till
// pays for HTTP beside a sales application that drops files, on the same machine at the
// same moments, so the machine's load falls on both. Target: at most 1.1, plain and HTTPS.
// Each sale's time over the wire time of its ECR exchanges (every byte sent and received,
// 10 bits each at 115,200 bit/s, from its exchange log) is printed beside it. Nothing is
// subtracted: the request's parse, the key's record and its flush, the receipt file
// written and picked up, the run, the answer taken into the record and the reply are all
// counted.
//
// Then the read of a body of the server's limit (1 MiB) on the same connection, first byte
// sent to last byte of the answer (a 401: the body is read whole before the token is
// looked at), 7 times each way. Target: median at most 200 ms.
//
// Usage: bench_http [runs] (default 15)
#include <arpa/inet.h>
#include <gnutls/gnutls.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
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
constexpr double kFileRatioTarget = 1.1;
constexpr double kBodyTargetMs = 200;
constexpr int kBodyRuns = 7;
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

// One connection to the driver's server, kept alive: plain, or TLS over it (the
// certificate is not checked: the bench times, the tests check trust).
class Connection {
 public:
  Connection(const std::string& host, int port, bool tls) : host_(host), port_(port), tls_(tls) {}
  ~Connection() { Close(); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool Open() {
    Close();
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port_));
    inet_pton(AF_INET, host_.c_str(), &address.sin_addr);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return false;
    const int one = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (!tls_) return true;
    if (gnutls_certificate_allocate_credentials(&credentials_) < 0 ||
        gnutls_init(&session_, GNUTLS_CLIENT) < 0 || gnutls_set_default_priority(session_) < 0 ||
        gnutls_credentials_set(session_, GNUTLS_CRD_CERTIFICATE, credentials_) < 0) {
      return false;
    }
    gnutls_transport_set_int(session_, fd_);
    int result = 0;
    do {
      result = gnutls_handshake(session_);
    } while (result < 0 && gnutls_error_is_fatal(result) == 0);
    return result >= 0;
  }

  bool Send(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
      const ssize_t n = tls_
                            ? gnutls_record_send(session_, bytes.data() + done, bytes.size() - done)
                            : send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n == GNUTLS_E_AGAIN || n == GNUTLS_E_INTERRUPTED) continue;
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  // Up to size bytes, waiting at most ms; 0 at the end of the connection, -1 on a failure
  // or when nothing came in time.
  ssize_t Receive(char* buffer, std::size_t size, int ms) {
    if (!tls_ || gnutls_record_check_pending(session_) == 0) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, ms) <= 0) return -1;
    }
    const ssize_t n = tls_ ? gnutls_record_recv(session_, buffer, size) : read(fd_, buffer, size);
    if (tls_ && (n == GNUTLS_E_AGAIN || n == GNUTLS_E_INTERRUPTED))
      return Receive(buffer, size, ms);
    return n < 0 ? -1 : n;
  }

  void Close() {
    if (session_ != nullptr) gnutls_deinit(session_);
    if (credentials_ != nullptr) gnutls_certificate_free_credentials(credentials_);
    if (fd_ >= 0) close(fd_);
    session_ = nullptr;
    credentials_ = nullptr;
    fd_ = -1;
  }
  bool IsOpen() const { return fd_ >= 0; }

 private:
  std::string host_;
  int port_;
  bool tls_;
  int fd_ = -1;
  gnutls_session_t session_ = nullptr;
  gnutls_certificate_credentials_t credentials_ = nullptr;
};

// One HTTP/1.1 request on the connection (opened again when the server closed it); the
// whole answer is read by its Content-Length.
bool Exchange(Connection& connection, const std::string& request, Reply& reply) {
  if (!connection.IsOpen() && !connection.Open()) return false;
  reply.sentMs = WallMs();
  if (!connection.Send(request)) {
    // Closed by the server meanwhile (idle): once more on a new connection.
    if (!connection.Open()) return false;
    reply.sentMs = WallMs();
    if (!connection.Send(request)) return false;
  }
  std::string received;
  std::size_t headEnd = std::string::npos;
  long long expected = -1;  // the whole answer's size, once its head is known
  const double deadline = reply.sentMs + kAnswerTimeoutMs;
  char buffer[16384];
  for (;;) {
    const double left = deadline - WallMs();
    if (left <= 0) return false;
    const ssize_t n = connection.Receive(buffer, sizeof buffer, static_cast<int>(left) + 1);
    const double now = WallMs();
    if (n < 0) continue;
    if (n == 0) {
      connection.Close();
      return false;
    }
    received.append(buffer, static_cast<std::size_t>(n));
    reply.lastByteMs = now;
    if (headEnd == std::string::npos) {
      headEnd = received.find("\r\n\r\n");
      if (headEnd == std::string::npos) continue;
      const std::string length = HeaderValue(received.substr(0, headEnd + 2), "Content-Length");
      if (length.empty()) return false;
      expected = static_cast<long long>(headEnd + 4) + std::atoll(length.c_str());
    }
    if (expected >= 0 && static_cast<long long>(received.size()) >= expected) break;
  }
  reply.head = received.substr(0, headEnd + 2);
  reply.body = received.substr(headEnd + 4);
  if (reply.head.rfind("HTTP/1.", 0) != 0 || reply.head.size() < 12) return false;
  reply.status = std::atoi(reply.head.c_str() + 9);
  if (HeaderValue(reply.head, "Connection") == "close") connection.Close();
  return true;
}

std::string SaleRequest(const std::string& host, int port, const std::string& token,
                        const std::string& key) {
  std::string body;
  for (std::string line : ReceiptLines(kSaleLines)) {
    line.resize(line.size() - 2);  // the body's lines end in LF
    body += line + "\n";
  }
  std::string request = "POST /v1/receipts?wait=" + std::to_string(kWaitSeconds) + " HTTP/1.1\r\n";
  request += "Host: " + host + ":" + std::to_string(port) + "\r\n";
  request += "Authorization: Bearer " + token + "\r\n";
  request += "Idempotency-Key: " + key + "\r\n";
  request += "Content-Type: text/plain; charset=utf-8\r\n";
  request += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  return request + body;
}

// A body of the server's limit that is read whole and then refused (a wrong token).
std::string LargeBodyRequest(const std::string& host, int port) {
  const std::string body(1024 * 1024, 'x');
  std::string request = "POST /v1/operations/x-report HTTP/1.1\r\n";
  request += "Host: " + host + ":" + std::to_string(port) + "\r\n";
  request += "Authorization: Bearer " + std::string(64, '0') + "\r\n";
  request += "Content-Type: application/json\r\n";
  request += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
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
  HttpDriver(const std::string& build, const std::string& link, const std::string& host)
      : folder_("ruvo_bench_http_"), host_(host) {
    port_ = FreeLoopbackPort();
    if (folder_.Path().empty() || port_ == 0) return;
    std::ofstream(folder_.Path() + "/XRUVODRV.INI", std::ios::binary)
        << "[Porturi]\r\nCOM1=" << link
        << "\r\n[Configurari]\r\nPort=1\r\nLogFile=DA\r\nDelay=0\r\nPreluareImediata=DA\r\n"
        << "ServerHttp=DA\r\nAdresaHttp=" << host_ << ":" << port_ << "\r\n";
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
  const std::string& Host() const { return host_; }
  int Port() const { return port_; }
  const std::string& Token() const { return token_; }
  pid_t Pid() const { return driver_ ? driver_->Pid() : 0; }

 private:
  ScratchFolder folder_;
  std::string host_;
  int port_ = 0;
  std::unique_ptr<Program> driver_;
  bool connected_ = false;
  std::string token_;
};

// One sale posted at a random moment; its answer must say it was printed.
bool PostSale(HttpDriver& driver, Connection& connection, pid_t sim, int index,
              std::mt19937& random, Run& run) {
  std::uniform_int_distribution<int> moment(0, 999);
  std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
  const std::string logFolder = driver.Folder() + "/Log";
  const std::set<std::string> logsBefore = LogFiles(logFolder);
  const std::string key =
      "bench-" + std::to_string(getpid()) + "-" + std::to_string(index) + "-" +
      std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  Reply reply;
  const MachineTime before = ReadMachineTime(driver.Pid(), sim);
  if (!Exchange(connection, SaleRequest(driver.Host(), driver.Port(), driver.Token(), key),
                reply)) {
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

// The same sale as a receipt file, dropped at a random moment: rename to answer.
bool FileSale(HttpDriver& driver, std::mt19937& random, double& ms) {
  std::uniform_int_distribution<int> moment(0, 999);
  std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
  const std::string folder = driver.Folder();
  std::ofstream(folder + "/ONLINE.TMP", std::ios::binary) << ReceiptFile(kSaleLines);
  const std::string answer = folder + "/ERROR.TXT";
  const std::string receipt = folder + "/ONLINE.TXT";
  const double dropped = WallMs();
  if (rename((folder + "/ONLINE.TMP").c_str(), receipt.c_str()) != 0) return false;
  if (!WaitFor([&] { return Exists(answer) && !Exists(receipt); }, kAnswerTimeoutMs)) {
    std::fprintf(stderr, "bench_http: the receipt file got no answer\n");
    return false;
  }
  ms = WallMs() - dropped;
  const std::string text = ReadAll(answer);
  std::remove(answer.c_str());
  if (text.rfind("0 OK", 0) != 0) {
    std::fprintf(stderr, "bench_http: the receipt file was not printed: %s\n", text.c_str());
    return false;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // the pause after a file
  return true;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The figures of one way (plain or HTTPS); false when a target is missed.
bool Report(const char* way, const std::vector<Run>& done, const std::vector<double>& fileMs,
            const std::vector<double>& bodyMs) {
  std::vector<double> ratios, ms, wire, own;
  for (std::size_t k = 0; k < done.size(); ++k) {
    const Run& r = done[k];
    std::printf(
        "  %s sale %zu: %d requests, %lld bytes sent, %lld received, wire %.1f ms; %.1f ms "
        "(exchange log spans %lld ms, gaps between exchanges %lld ms, beyond the span %.1f "
        "ms); ratio %.3f; steal %.0f ms, run-queue wait: driver %.2f ms, simulator %.2f ms\n",
        way, k + 1, r.wire.requests, r.wire.sent, r.wire.received, r.wireMs, r.ms,
        r.wire.lastStampMs - r.wire.firstStampMs, r.wire.betweenMs, r.OwnMs(), r.Ratio(),
        r.machine.stealMs, r.machine.driverWaitMs, r.machine.simWaitMs);
    ratios.push_back(r.Ratio());
    ms.push_back(r.ms);
    wire.push_back(r.wireMs);
    own.push_back(r.OwnMs());
  }
  const double median = Median(ratios);
  const double worst = *std::max_element(ratios.begin(), ratios.end());
  std::printf(
      "%s: %d-line sale (POST /v1/receipts?wait=%d, one kept-alive connection), first byte "
      "sent to last byte of the answer: median %.1f ms for %.1f ms of wire; of it beyond the "
      "exchange log's span %.1f ms median; time / wire %.3f median, %.3f worst of %zu\n",
      way, kSaleLines, kWaitSeconds, Median(ms), Median(wire), Median(own), median, worst,
      done.size());
  const double fileRatio = Median(ms) / Median(fileMs);
  const bool saleOk = fileRatio <= kFileRatioTarget;
  std::printf(
      "%s: the same sale as a receipt file, rename to answer: median %.1f ms of %zu; HTTP / "
      "file = %.3f (target: <= %.2f) %s\n",
      way, Median(fileMs), fileMs.size(), fileRatio, kFileRatioTarget, saleOk ? "OK" : "OVER");
  const double bodyMedian = Median(bodyMs);
  const bool bodyOk = bodyMedian <= kBodyTargetMs;
  std::printf(
      "%s: 1 MiB body, first byte sent to last byte of the answer: median %.1f ms, worst %.1f "
      "ms of %zu (target: median <= %.0f ms) %s\n",
      way, bodyMedian, *std::max_element(bodyMs.begin(), bodyMs.end()), bodyMs.size(),
      kBodyTargetMs, bodyOk ? "OK" : "OVER");
  return saleOk && bodyOk;
}

// The sales and the large bodies against a driver on host; false when one failed.
bool Measure(const std::string& build, const std::string& link, pid_t sim, const std::string& host,
             bool tls, int runs, std::mt19937& random, std::vector<Run>& done,
             std::vector<double>& fileMs, std::vector<double>& bodyMs) {
  HttpDriver driver(build, link, host);
  if (!driver.Ready()) {
    std::fprintf(stderr, "bench_http: the driver on %s, its HTTP server or its token is missing\n",
                 host.c_str());
    return false;
  }
  Connection connection(host, driver.Port(), tls);
  if (!connection.Open()) {
    std::fprintf(stderr, "bench_http: no %s connection to %s\n", tls ? "TLS" : "TCP", host.c_str());
    return false;
  }
  for (int k = 0; k < runs; ++k) {
    Run run;
    double ms = 0;
    const bool fileFirst = k % 2 == 1;
    if (fileFirst && !FileSale(driver, random, ms)) return false;
    if (!PostSale(driver, connection, sim, k, random, run)) return false;
    if (!fileFirst && !FileSale(driver, random, ms)) return false;
    done.push_back(run);
    fileMs.push_back(ms);
  }
  const std::string large = LargeBodyRequest(host, driver.Port());
  for (int k = 0; k < kBodyRuns; ++k) {
    Reply reply;
    if (!Exchange(connection, large, reply) || reply.status != 401) {
      std::fprintf(stderr, "bench_http: the large body got no 401 (%d)\n", reply.status);
      return false;
    }
    bodyMs.push_back(reply.lastByteMs - reply.sentMs);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const std::string build = BuildFolder();
  ScratchFolder simFolder("ruvo_bench_http_sim_");
  const std::string link = simFolder.Path() + "/ecr";
  std::mt19937 random(12345);

  std::vector<Run> plain, tls;
  std::vector<double> plainFileMs, tlsFileMs, plainBodyMs, tlsBodyMs;
  {
    Program sim({build + "/xruvo_sim", "--link", link, "--paper", "/dev/null", "--pace"},
                simFolder.Path() + "/sim.out");
    if (!WaitFor([&] { return fs::is_symlink(link); }, 5000, 10000)) {
      std::fprintf(stderr, "bench_http: xruvo_sim did not start (%s)\n", build.c_str());
      return 1;
    }
    if (!Measure(build, link, sim.Pid(), "127.0.0.1", false, runs, random, plain, plainFileMs,
                 plainBodyMs) ||
        !Measure(build, link, sim.Pid(), "127.0.0.2", true, runs, random, tls, tlsFileMs,
                 tlsBodyMs)) {
      return 1;
    }
  }
  const bool plainOk = Report("HTTP", plain, plainFileMs, plainBodyMs);
  const bool tlsOk = Report("HTTPS", tls, tlsFileMs, tlsBodyMs);
  return plainOk && tlsOk ? 0 : 2;
}
