// The graphic logo upload of a 200,000-byte picture: LoadLogo, as the window or the
// control socket calls it once the operator has confirmed, against the xruvo_sim program
// on a pseudo-terminal paced at the wire time of 115,200 bit/s in both directions.
//
// Reports the whole call, measured around it: reading the picture, writing the command
// script, opening the port, the 4,002 exchanges ("9100", 4,000 pieces, "9102"), saving
// the exchange log ("LogFile" on, as a shop that keeps logs runs it), closing the port.
// Nothing of the driver's own is left out. This is divided by the wire time of the
// exchanges: every byte sent and received, 10 bits each at 115,200 bit/s, counted from
// the saved exchange log. A driver that added nothing to the line would score 1.
// Target: below 1.05. Also printed, for reading the figure and subtracted from nothing:
// the time a bare loop takes for the same frames on the same pty (the floor the pty and
// the paced simulator set on the machine at hand).
//
// Usage: bench_logo
#include <fcntl.h>
#include <poll.h>
#include <termios.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "app/DriverContext.h"
#include "app/DriverState.h"
#include "console/LogoUpload.h"
#include "ecr/TXruvoLinux.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/Files.h"

namespace {

using namespace bench;

constexpr std::size_t kPictureBytes = 200000;
constexpr int kExchanges = 4002;  // "9100", one "9101" per 50 bytes, "9102"
constexpr double kTarget = 1.05;

// Bytes of every value, in no simple order.
std::string Picture() {
  std::string bytes(kPictureBytes, '\0');
  std::mt19937 random(20261208);
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

// An operator who has already said Yes and reads nothing: the success message is taken
// without a terminal's time in it.
class QuietOperator final : public ruvo::IOperator {
 public:
  ruvo::MsgResult RomMessageDlg(const std::string& text, const std::string&, ruvo::MsgKind,
                                ruvo::MsgButtons) override {
    last = text;
    return ruvo::MsgResult::Ok;
  }
  void ShowDefaultError(const std::string& text) override { last = text; }
  bool AskPaymentForm(int&) override { return false; }
  void Beep() override {}
  std::string last;
};

// The same frames written and their answers read by a bare loop on the simulator's pty,
// with no driver at all: what the pty and the paced simulator take on this machine. It is
// printed beside the result for reading it, and subtracted from nothing.
double BareReplayMs(const std::string& device, const std::vector<std::string>& commands) {
  const int fd = open(device.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return -1;
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
  const double start = WallMs();
  for (const std::string& command : commands) {
    const std::string frame = ruvo::FrameLink::BuildFrame(command);
    if (write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) break;
    unsigned char buffer[256];
    std::size_t got = 0;
    for (;;) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 2000) <= 0) break;
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
      if (got >= 11 && buffer[n - 1] == 0x03) break;
    }
  }
  const double elapsed = WallMs() - start;
  close(fd);
  return elapsed;
}

int Measure(const std::string& folder) {
  const std::string link = folder + "/ecr";
  const std::string storedLogo = folder + "/ecr.logo";
  const std::string build = BuildFolder();
  std::ofstream(folder + "/XRUVODRV.INI", std::ios::binary)
      << "[Porturi]\r\nCOM1=" << link << "\r\n";
  const std::string picturePath = folder + "/poze/LOGO.BMP";
  fs::create_directories(folder + "/poze");
  const std::string picture = Picture();
  std::ofstream(picturePath, std::ios::binary) << picture;

  Program sim({build + "/xruvo_sim", "--link", link, "--paper", folder + "/paper.txt", "--pace",
               "--logo", storedLogo},
              folder + "/sim.out");
  if (!sim.Started() || !WaitFor([&] { return fs::is_symlink(link); }, 5000, 10000)) {
    std::fprintf(stderr, "bench_logo: xruvo_sim did not start (%s)\n", build.c_str());
    return 1;
  }

  ruvo::SystemClock clock;
  ruvo::NullEventPump pump;
  QuietOperator op;
  ruvo::PosixPortFactory ports(folder + "/XRUVODRV.INI");
  ruvo::DriverState state;
  state.workingFolder = folder + "/";
  state.logFolder = state.workingFolder + "Log/";
  state.historyFolder = state.workingFolder + "History/";
  state.settings.port = 1;
  state.settings.logFile = true;
  const ruvo::ConsoleContext context{ruvo::DriverContext{clock, pump, op, ports}, state};

  const double start = WallMs();
  const bool sent =
      ruvo::LoadLogo(context, picturePath, nullptr, ruvo::LogoConfirmation::AlreadyConfirmed);
  const double totalMs = WallMs() - start;
  if (!sent) {
    std::fprintf(stderr, "bench_logo: the upload failed: %s\n", op.last.c_str());
    return 1;
  }
  if (ReadAll(storedLogo) != picture) {
    std::fprintf(stderr, "bench_logo: the ECR did not store the picture byte for byte\n");
    return 1;
  }
  const std::vector<std::string> logs = ruvo::ListMatching(state.logFolder, "Log_LoadBMP_*.TXT");
  if (logs.size() != 1) {
    std::fprintf(stderr, "bench_logo: no exchange log in %s\n", state.logFolder.c_str());
    return 1;
  }
  const WireCount wire = CountWire(state.logFolder + logs[0]);
  if (wire.requests != kExchanges) {
    std::fprintf(stderr, "bench_logo: %d exchanges in the log, not %d\n", wire.requests,
                 kExchanges);
    return 1;
  }
  const double wireMs = WireMs(wire);
  const double ratio = totalMs / wireMs;
  std::printf(
      "logo of %zu bytes at 115,200 bit/s: %d exchanges, %lld bytes sent and %lld "
      "received, wire time %.1f ms; the whole LoadLogo call (picture read, script "
      "written, port opened, exchanges, log of %lld ms span saved, port closed) %.1f ms, "
      "of which %lld ms between one answer and the next request\n",
      kPictureBytes, wire.requests, wire.sent, wire.received, wireMs,
      wire.lastStampMs - wire.firstStampMs, totalMs, wire.betweenMs);
  const std::optional<std::vector<std::string>> script =
      ruvo::ReadLines(state.workingFolder + ruvo::LogoScriptName(picturePath));
  const double bareMs = script ? BareReplayMs(link, *script) : -1;
  std::printf(
      "for reading it: the same %zu frames by a bare loop on the pty, no driver: %.1f ms "
      "(%.3f of the wire time)\n",
      script ? script->size() : 0, bareMs, bareMs / wireMs);
  std::printf("logo upload: time / wire time = %.3f (target < %.2f) %s\n", ratio, kTarget,
              ratio < kTarget ? "OK" : "OVER");
  return ratio < kTarget ? 0 : 2;
}

}  // namespace

int main() {
  char pattern[] = "/tmp/ruvo_bench_logo_XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::string folder = pattern;
  const int status = Measure(folder);
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return status;
}
