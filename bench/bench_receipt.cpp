// Receipt files through the whole driver: ruvo_drv headless on a working folder, xruvo_sim
// behind COM1 answering at the wire time of 115,200 bit/s ("--pace": every byte of a
// request and of an answer, the first included, takes its 10 bits of wire time).
//
// Every figure is a ratio to the wire time of the file's ECR exchanges: every byte sent and
// received, 10 bits each at 115,200 bit/s, counted from the exchange log ("LogFile" on).
// A driver that added nothing to the line would score 1. Nothing is subtracted: the read's
// check that the sales application has finished writing, the driver's own work and the
// idle connection check a file may have to wait for are all counted.
//
//  1. A 200-line receipt, pickup to answer: from the moment the driver deletes the old
//     response file (pickup) to the moment the new one is renamed into place. The file is
//     written and renamed into the folder at once, as before. Target: median below 1.05.
//  2. A 20-line receipt, drop to answer: from the rename that puts ONLINE.TXT into the
//     folder to the answer, dropped at random moments (so at any point of the driver's
//     once-a-second rhythm), with "PreluareImediata" off and on. The file was written
//     150 ms or more before it is dropped, as by a sales application that prepares a file
//     and then hands it over. Target with the key on: median below 1.15, worst below 1.3.
//  3. As 2 with the key on, but the file freshly written and renamed at once (write,
//     close, rename), 12 drops at random moments: rename to answer. A rename is atomic,
//     so the driver reads such a file without waiting. Target: median below 1.15, worst
//     below 1.3.
//  4. A sales application writing ONLINE.TXT in place, line by line (open, append, close,
//     150 ms apart), key on: from the last write to the answer. Target: one whole receipt
//     every time (every article on the paper once), answered within "PauzaFisierScris"
//     (500 ms) plus 1.2 times the wire time.
//
// Events are taken from inotify on the working folder, so the times are those of the file
// system and the benchmark does not poll.
//
// Usage: bench_receipt [runs of 1] [drops of 2] [drops of 3 and writers of 4]
//        (defaults 3, 15 and 12)
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
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
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "app/Settings.h"
#include "platform/IniFile.h"

namespace {

using namespace bench;

constexpr int kLongReceiptLines = 200;
constexpr int kShortReceiptLines = 20;
constexpr double kLongTarget = 1.05;
constexpr double kDropMedianTarget = 1.15;
constexpr double kDropWorstTarget = 1.3;
constexpr double kInPlaceWireFactor = 1.2;
constexpr int kWriterPauseMs = 150;

// The working folder's events as they happen: a name and what happened to it.
class FolderEvents {
 public:
  explicit FolderEvents(const std::string& folder)
      : fd_(inotify_init1(IN_CLOEXEC)),
        wd_(inotify_add_watch(fd_, folder.c_str(), IN_DELETE | IN_MOVED_TO)) {}
  ~FolderEvents() {
    if (fd_ >= 0) close(fd_);
  }
  FolderEvents(const FolderEvents&) = delete;
  FolderEvents& operator=(const FolderEvents&) = delete;

  bool Ok() const { return fd_ >= 0 && wd_ >= 0; }
  // Waits for the event on name; the wall time (ms) when it was seen, or -1 after timeoutMs.
  double WaitFor(const std::string& name, std::uint32_t mask, double timeoutMs) {
    const double deadline = WallMs() + timeoutMs;
    alignas(inotify_event) char buffer[8192];
    for (;;) {
      const double left = deadline - WallMs();
      if (left <= 0) return -1;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left) + 1) <= 0) continue;
      const double seen = WallMs();
      const ssize_t n = read(fd_, buffer, sizeof buffer);
      bool found = false;
      for (ssize_t offset = 0; n > 0 && offset < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
        if ((event->mask & mask) != 0 && event->len > 0 && name == event->name) found = true;
        offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
      if (found) return seen;
    }
  }
  // Forgets what has happened so far.
  void Drain() {
    alignas(inotify_event) char buffer[8192];
    pollfd p{fd_, POLLIN, 0};
    while (poll(&p, 1, 0) > 0 && read(fd_, buffer, sizeof buffer) > 0) {
    }
  }

 private:
  int fd_;
  int wd_;
};

struct Run {
  double ms = 0;      // pickup or drop to answer
  double wireMs = 0;  // bytes sent and received
  WireCount wire;
  MachineTime machine;  // from the drop or the last write to the answer
  double Ratio() const { return ms / wireMs; }
};

// The driver's answer to the file it just ran, with the wire time of its exchange log
// (saved before the file is deleted), once the driver's pause after the file is over.
bool CheckAnswer(const std::string& folder, FolderEvents& events,
                 const std::set<std::string>& logsBefore, Run& run) {
  events.WaitFor("ONLINE.TXT", IN_DELETE, 10000);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  events.Drain();
  const std::string answer = ReadAll(folder + "/ERROR.TXT");
  if (answer.rfind("0 OK\r\n", 0) != 0) {
    std::fprintf(stderr, "bench_receipt: the receipt was not printed:\n%s", answer.c_str());
    return false;
  }
  std::string logPath;
  for (const std::string& name : LogFiles(folder + "/Log"))
    if (logsBefore.count(name) == 0) logPath = name;
  if (logPath.empty()) {
    std::fprintf(stderr, "bench_receipt: no exchange log in %s/Log\n", folder.c_str());
    return false;
  }
  run.wire = CountWire(logPath);
  run.wireMs = WireMs(run.wire);
  return run.wireMs > 0;
}

void PutInPlace(const std::string& folder, const std::string& text) {
  const std::string temporary = folder + "/ONLINE.TMP";
  std::ofstream(temporary, std::ios::binary) << text;
}

bool Rename(const std::string& folder) {
  return rename((folder + "/ONLINE.TMP").c_str(), (folder + "/ONLINE.TXT").c_str()) == 0;
}

// The two programs whose share of the machine is watched.
struct Watched {
  pid_t driver = 0;
  pid_t sim = 0;
  MachineTime Now() const { return ReadMachineTime(driver, sim); }
};

// 1: pickup (the stale answer deleted) to answer.
bool PickupToAnswer(const std::string& folder, FolderEvents& events, const Watched& watched,
                    Run& run) {
  std::ofstream(folder + "/ERROR.TXT", std::ios::binary) << "stale\r\n";
  const std::set<std::string> logsBefore = LogFiles(folder + "/Log");
  events.Drain();
  PutInPlace(folder, ReceiptFile(kLongReceiptLines));
  const MachineTime before = watched.Now();
  if (!Rename(folder)) return false;
  const double pickup = events.WaitFor("ERROR.TXT", IN_DELETE, 5000);
  const double answered = pickup < 0 ? -1 : events.WaitFor("ERROR.TXT", IN_MOVED_TO, 60000);
  if (answered < 0) {
    std::fprintf(stderr, "bench_receipt: no pickup or no answer\n");
    return false;
  }
  run.machine = watched.Now() - before;
  run.ms = answered - pickup;
  return CheckAnswer(folder, events, logsBefore, run);
}

// 2 and 3: drop to answer, at a random moment.
bool DropToAnswer(const std::string& folder, FolderEvents& events, const Watched& watched,
                  bool prepared, std::mt19937& random, Run& run) {
  std::uniform_int_distribution<int> moment(0, 999);
  const std::set<std::string> logsBefore = LogFiles(folder + "/Log");
  if (prepared) {
    PutInPlace(folder, ReceiptFile(kShortReceiptLines));
    std::this_thread::sleep_for(std::chrono::milliseconds(150 + moment(random)));
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
    PutInPlace(folder, ReceiptFile(kShortReceiptLines));
  }
  events.Drain();
  const MachineTime before = watched.Now();
  if (!Rename(folder)) return false;
  const double dropped = WallMs();
  const double answered = events.WaitFor("ERROR.TXT", IN_MOVED_TO, 60000);
  if (answered < 0) {
    std::fprintf(stderr, "bench_receipt: no answer\n");
    return false;
  }
  run.machine = watched.Now() - before;
  run.ms = answered - dropped;
  return CheckAnswer(folder, events, logsBefore, run);
}

// 4: an in-place writer, line by line; from its last write to the answer. whole tells
// whether the paper shows every article of the file exactly once.
bool LastWriteToAnswer(const std::string& folder, FolderEvents& events, const Watched& watched,
                       const std::string& paperPath, std::mt19937& random, Run& run, bool& whole) {
  std::uniform_int_distribution<int> moment(0, 999);
  const std::set<std::string> logsBefore = LogFiles(folder + "/Log");
  const std::size_t paperBefore = ReadAll(paperPath).size();
  std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
  events.Drain();
  const std::vector<std::string> lines = ReceiptLines(kShortReceiptLines);
  const std::string path = folder + "/ONLINE.TXT";
  double lastWrite = 0;
  MachineTime before;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (k > 0) std::this_thread::sleep_for(std::chrono::milliseconds(kWriterPauseMs));
    std::ofstream(path, std::ios::binary | std::ios::app) << lines[k];
    lastWrite = WallMs();
    before = watched.Now();
  }
  const double answered = events.WaitFor("ERROR.TXT", IN_MOVED_TO, 60000);
  if (answered < 0) {
    std::fprintf(stderr, "bench_receipt: no answer to the in-place writer\n");
    return false;
  }
  run.machine = watched.Now() - before;
  run.ms = answered - lastWrite;
  if (!CheckAnswer(folder, events, logsBefore, run)) return false;
  const std::string printed = ReadAll(paperPath).substr(paperBefore);
  whole = true;
  for (int k = 1; k < kShortReceiptLines; ++k) {
    const std::string article = "ARTICOL " + std::to_string(k);
    std::size_t count = 0;
    for (std::size_t at = printed.find(article); at != std::string::npos;
         at = printed.find(article, at + 1)) {
      // "ARTICOL 1" is also the start of "ARTICOL 10".."ARTICOL 19".
      const char next = at + article.size() < printed.size() ? printed[at + article.size()] : ' ';
      if (std::isdigit(static_cast<unsigned char>(next)) == 0) ++count;
    }
    if (count != 1) whole = false;
  }
  return true;
}

struct Figures {
  double median = 0;
  double worst = 0;
  double medianMs = 0;
  double medianWireMs = 0;
};

Figures Summarise(const std::vector<Run>& runs) {
  std::vector<double> ratios, ms, wire;
  for (const Run& r : runs) {
    ratios.push_back(r.Ratio());
    ms.push_back(r.ms);
    wire.push_back(r.wireMs);
  }
  std::sort(ratios.begin(), ratios.end());
  std::sort(ms.begin(), ms.end());
  std::sort(wire.begin(), wire.end());
  return Figures{ratios[ratios.size() / 2], ratios.back(), ms[ms.size() / 2],
                 wire[wire.size() / 2]};
}

// A driver on a fresh working folder, with the simulator on COM1.
class DriverOnFolder {
 public:
  DriverOnFolder(const std::string& build, const std::string& link, bool immediate) {
    char pattern[] = "/tmp/ruvo_bench_receipt_XXXXXX";
    if (mkdtemp(pattern) == nullptr) return;
    folder_ = pattern;
    std::ofstream(folder_ + "/XRUVODRV.INI", std::ios::binary)
        << "[Porturi]\r\nCOM1=" << link
        << "\r\n[Configurari]\r\nPort=1\r\nLogFile=DA\r\nDelay=0\r\nPreluareImediata="
        << (immediate ? "DA" : "NU") << "\r\n";
    events_ = std::make_unique<FolderEvents>(folder_);
    driver_ = std::make_unique<Program>(std::vector<std::string>{build + "/ruvo_drv", "--headless",
                                                                 "--dir", folder_, "--instance",
                                                                 "ruvo-bench-receipt-" +
                                                                     std::to_string(getpid())},
                                        folder_ + "/driver.out");
    connected_ =
        WaitFor([&] { return StatusValue(folder_ + "/RUVODRV.INFO", "ConectatLaCasa") == "DA"; },
                8000, 10000);
  }
  ~DriverOnFolder() {
    driver_.reset();
    events_.reset();
    std::error_code ignored;
    if (!folder_.empty()) fs::remove_all(folder_, ignored);
  }
  DriverOnFolder(const DriverOnFolder&) = delete;
  DriverOnFolder& operator=(const DriverOnFolder&) = delete;

  bool Ready() const { return connected_ && events_ && events_->Ok(); }
  const std::string& Folder() const { return folder_; }
  FolderEvents& Events() { return *events_; }
  pid_t DriverPid() const { return driver_ ? driver_->Pid() : 0; }

 private:
  std::string folder_;
  std::unique_ptr<FolderEvents> events_;
  std::unique_ptr<Program> driver_;
  bool connected_ = false;
};

void PrintRuns(const char* what, const std::vector<Run>& runs) {
  for (std::size_t k = 0; k < runs.size(); ++k) {
    const Run& r = runs[k];
    std::printf(
        "  %s %zu: %d requests, %lld bytes sent, %lld received, wire %.1f ms; "
        "%.1f ms (exchange log spans %lld ms, gaps between exchanges %lld ms); "
        "ratio %.3f; steal %.0f ms, run-queue wait: driver %.2f ms, simulator %.2f ms\n",
        what, k + 1, r.wire.requests, r.wire.sent, r.wire.received, r.wireMs, r.ms,
        r.wire.lastStampMs - r.wire.firstStampMs, r.wire.betweenMs, r.Ratio(), r.machine.stealMs,
        r.machine.driverWaitMs, r.machine.simWaitMs);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int longRuns = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const int drops = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
  const int freshDrops = argc > 3 ? std::max(1, std::atoi(argv[3])) : 12;
  char pattern[] = "/tmp/ruvo_bench_sim_XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::string simFolder = pattern;
  struct RemovedAtEnd {
    std::string folder;
    ~RemovedAtEnd() {
      std::error_code ignored;
      fs::remove_all(folder, ignored);
    }
  } removed{simFolder};
  const std::string link = simFolder + "/ecr";
  const std::string paper = simFolder + "/paper.txt";
  const std::string build = BuildFolder();
  std::mt19937 random(12345);

  int status = 0;
  {
    Program sim({build + "/xruvo_sim", "--link", link, "--paper", paper, "--pace"},
                simFolder + "/sim.out");
    WaitFor([&] { return fs::is_symlink(link); }, 5000, 10000);

    std::vector<Run> longRunsDone, dropsOff, dropsOn, dropsAtOnce, writers;
    int partial = 0;
    {
      DriverOnFolder off(build, link, false);
      if (!sim.Started() || !off.Ready()) {
        std::fprintf(stderr, "bench_receipt: driver or simulator did not start (%s)\n",
                     build.c_str());
        return 1;
      }
      for (int k = 0; k < longRuns; ++k) {
        Run run;
        if (!PickupToAnswer(off.Folder(), off.Events(), {off.DriverPid(), sim.Pid()}, run))
          return 1;
        longRunsDone.push_back(run);
      }
      for (int k = 0; k < drops; ++k) {
        Run run;
        if (!DropToAnswer(off.Folder(), off.Events(), {off.DriverPid(), sim.Pid()}, true, random,
                          run))
          return 1;
        dropsOff.push_back(run);
      }
    }
    {
      DriverOnFolder on(build, link, true);
      if (!on.Ready()) {
        std::fprintf(stderr, "bench_receipt: the driver did not start\n");
        return 1;
      }
      const Watched watched{on.DriverPid(), sim.Pid()};
      for (int k = 0; k < drops; ++k) {
        Run run;
        if (!DropToAnswer(on.Folder(), on.Events(), watched, true, random, run)) return 1;
        dropsOn.push_back(run);
      }
      for (int k = 0; k < freshDrops; ++k) {
        Run run;
        if (!DropToAnswer(on.Folder(), on.Events(), watched, false, random, run)) return 1;
        dropsAtOnce.push_back(run);
      }
      for (int k = 0; k < freshDrops; ++k) {
        Run run;
        bool whole = false;
        if (!LastWriteToAnswer(on.Folder(), on.Events(), watched, paper, random, run, whole))
          return 1;
        if (!whole) ++partial;
        writers.push_back(run);
      }
    }
    sim.Stop();

    PrintRuns("200 lines, run", longRunsDone);
    const Figures l = Summarise(longRunsDone);
    const bool longOk = l.median < kLongTarget;
    std::printf(
        "%d-line receipt, pickup to answer: %.1f ms for %.1f ms of wire; time / wire "
        "time = %.3f median, %.3f worst of %d (target: median < %.2f) %s\n",
        kLongReceiptLines, l.medianMs, l.medianWireMs, l.median, l.worst, longRuns, kLongTarget,
        longOk ? "OK" : "OVER");

    PrintRuns("20 lines, PreluareImediata off, drop", dropsOff);
    const Figures off = Summarise(dropsOff);
    std::printf(
        "%d-line receipt, drop to answer, PreluareImediata off: median %.1f ms for "
        "%.1f ms of wire; ratio %.3f median, %.3f worst of %d (no target)\n",
        kShortReceiptLines, off.medianMs, off.medianWireMs, off.median, off.worst, drops);

    PrintRuns("20 lines, PreluareImediata on, drop", dropsOn);
    const Figures on = Summarise(dropsOn);
    const bool onOk = on.median < kDropMedianTarget && on.worst < kDropWorstTarget;
    std::printf(
        "%d-line receipt, drop to answer, PreluareImediata on: median %.1f ms for "
        "%.1f ms of wire; ratio %.3f median, %.3f worst of %d (target: median < %.2f, "
        "worst < %.2f) %s\n",
        kShortReceiptLines, on.medianMs, on.medianWireMs, on.median, on.worst, drops,
        kDropMedianTarget, kDropWorstTarget, onOk ? "OK" : "OVER");

    PrintRuns("20 lines, written and renamed at once, drop", dropsAtOnce);
    const Figures once = Summarise(dropsAtOnce);
    const bool onceOk = once.median < kDropMedianTarget && once.worst < kDropWorstTarget;
    std::printf(
        "%d-line receipt written and renamed at once, PreluareImediata on, rename to "
        "answer: median %.1f ms for %.1f ms of wire; ratio %.3f median, %.3f worst of %d "
        "(target: median < %.2f, worst < %.2f) %s\n",
        kShortReceiptLines, once.medianMs, once.medianWireMs, once.median, once.worst, freshDrops,
        kDropMedianTarget, kDropWorstTarget, onceOk ? "OK" : "OVER");

    PrintRuns("20 lines, written in place line by line, writer", writers);
    const Figures w = Summarise(writers);
    const int quietMs = ruvo::Settings{}.pauzaFisierScris;
    double worstOver = 0;  // the worst time beyond the quiet time, over wire time
    for (const Run& r : writers) worstOver = std::max(worstOver, (r.ms - quietMs) / r.wireMs);
    const bool writersOk = partial == 0 && worstOver <= kInPlaceWireFactor;
    std::printf(
        "%d-line receipt written in place line by line (%d ms apart), PreluareImediata "
        "on, last write to answer: median %.1f ms for %.1f ms of wire; (time - %d ms) / "
        "wire time = %.3f worst of %d; %d partial receipts (target: none partial, "
        "time within %d ms + %.1f x wire time) %s\n",
        kShortReceiptLines, kWriterPauseMs, w.medianMs, w.medianWireMs, quietMs, worstOver,
        freshDrops, partial, quietMs, kInPlaceWireFactor, writersOk ? "OK" : "OVER");
    status = longOk && onOk && onceOk && writersOk ? 0 : 2;
  }
  return status;
}
