#include "PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>

#include "Control.h"
#include "Engine.h"

namespace xruvo_sim {

namespace {

std::string LastError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// The symlink the driver's settings point at. An existing file that is not a symlink is
// left alone: it is not ours to replace.
bool PlaceLink(const std::string& link, const std::string& target, std::string& error) {
  struct stat st {};
  if (lstat(link.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      error = link + " exists and is not a symlink";
      return false;
    }
    unlink(link.c_str());
  }
  if (symlink(target.c_str(), link.c_str()) != 0) {
    error = LastError(("symlink " + link).c_str());
    return false;
  }
  return true;
}

void RemoveLink(const std::string& link, const std::string& target) {
  char buffer[4096];
  const ssize_t n = readlink(link.c_str(), buffer, sizeof buffer - 1);
  if (n < 0) return;
  if (std::string(buffer, static_cast<std::size_t>(n)) == target) unlink(link.c_str());
}

// The control FIFO, with a writer of our own kept open so that a client closing its end
// does not leave the reader at end-of-file.
class ControlChannel {
 public:
  bool Open(const std::string& path, std::string& error) {
    path_ = path;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
      if (mkfifo(path.c_str(), 0600) != 0) {
        error = LastError(("mkfifo " + path).c_str());
        return false;
      }
      created_ = true;
    } else if (!S_ISFIFO(st.st_mode)) {
      error = path + " exists and is not a FIFO";
      return false;
    }
    reader_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (reader_ < 0) {
      error = LastError(("open " + path).c_str());
      return false;
    }
    writer_ = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    return true;
  }

  ~ControlChannel() {
    if (reader_ >= 0) close(reader_);
    if (writer_ >= 0) close(writer_);
    if (created_) unlink(path_.c_str());
  }

  int Fd() const { return reader_; }

  // Complete lines read so far.
  void ReadLines(Engine& engine, const Pty& pty, std::ostream& log) {
    char buffer[1024];
    for (;;) {
      const ssize_t n = read(reader_, buffer, sizeof buffer);
      if (n <= 0) break;
      pending_.append(buffer, static_cast<std::size_t>(n));
    }
    if (pending_.size() > 65536) pending_.clear();  // no line is that long
    std::size_t end;
    while ((end = pending_.find('\n')) != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line == "release") {
        pty.ReleaseExclusiveHold();
        log << "xruvo_sim: control: " << line << std::endl;
        continue;
      }
      const std::string problem = ApplyControlCommand(engine, line);
      if (!problem.empty()) {
        log << "xruvo_sim: control: " << problem << std::endl;
      } else if (!line.empty()) {
        log << "xruvo_sim: control: " << line << std::endl;
      }
    }
  }

 private:
  std::string path_;
  int reader_ = -1;
  int writer_ = -1;
  bool created_ = false;
  std::string pending_;
};

// The master is non-blocking: when nobody reads the slave and its buffer is full, the
// rest of the answer is dropped after a while, as a line with no listener loses it,
// instead of hanging the simulator.
constexpr int kStalledWriteMs = 2000;

bool WriteAll(int fd, const std::uint8_t* data, std::size_t count,
              volatile std::sig_atomic_t& stop) {
  int stalledMs = 0;
  while (count > 0 && stop == 0) {
    const ssize_t n = write(fd, data, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN || stalledMs >= kStalledWriteMs) return false;
      pollfd p{fd, POLLOUT, 0};
      poll(&p, 1, 10);
      stalledMs += 10;
      continue;
    }
    stalledMs = 0;
    data += n;
    count -= static_cast<std::size_t>(n);
  }
  return count == 0;
}

}  // namespace

bool Pty::Open(std::string& error) {
  Close();
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) {
    error = LastError("posix_openpt");
    return false;
  }
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
    error = LastError("grantpt/unlockpt");
    Close();
    return false;
  }
  const char* name = ptsname(master_);
  if (name == nullptr) {
    error = LastError("ptsname");
    Close();
    return false;
  }
  slavePath_ = name;
  // Raw on the slave's side: no echo, no line editing, no CR/LF translation.
  termios tio{};
  if (tcgetattr(master_, &tio) == 0) {
    cfmakeraw(&tio);
    tcsetattr(master_, TCSANOW, &tio);
  }
  slaveHold_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slaveHold_ < 0) {
    error = LastError(("open " + slavePath_).c_str());
    Close();
    return false;
  }
  if (tcgetattr(slaveHold_, &tio) == 0) {
    cfmakeraw(&tio);
    tcsetattr(slaveHold_, TCSANOW, &tio);
  }
  return true;
}

void Pty::ReleaseExclusiveHold() const {
  if (slaveHold_ >= 0) ioctl(slaveHold_, TIOCNXCL);
}

void Pty::ReleaseStaleHold() {
  if (slaveHold_ < 0) return;
  int exclusive = 0;
  if (ioctl(slaveHold_, TIOCGEXCL, &exclusive) != 0 || exclusive == 0) return;
  // A client that holds the line keeps its flock until it closes or dies.
  if (flock(slaveHold_, LOCK_EX | LOCK_NB) != 0) return;
  ioctl(slaveHold_, TIOCNXCL);
  flock(slaveHold_, LOCK_UN);
}

void Pty::Close() {
  if (slaveHold_ >= 0) close(slaveHold_);
  if (master_ >= 0) close(master_);
  slaveHold_ = -1;
  master_ = -1;
}

// The logo as the device stored it, for tests that compare it with the file sent. Written
// before the answer to "9102" leaves, so it is there when the driver hears of success.
class LogoFile {
 public:
  explicit LogoFile(std::string path) : path_(std::move(path)) {}
  void Update(const Device& device, std::ostream& log) {
    if (path_.empty() || device.LogosStored() == written_) return;
    written_ = device.LogosStored();
    const std::string temporary = path_ + ".part";
    {
      std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
      out << device.Logo();
      if (!out.flush()) log << "xruvo_sim: cannot write " << temporary << std::endl;
    }
    if (std::rename(temporary.c_str(), path_.c_str()) != 0)
      log << "xruvo_sim: " << LastError("rename") << std::endl;
  }

 private:
  std::string path_;
  int written_ = 0;
};

int Serve(const Options& options, std::ostream& paper, std::ostream& log,
          volatile std::sig_atomic_t& stop) {
  ruvo::SystemClock clock;
  Engine engine(clock, &paper, options.config);
  engine.SetMessages(&log);
  for (const std::string& fault : options.faults) {
    const std::string problem = ApplyControlCommand(engine, fault);
    if (!problem.empty()) {
      log << "xruvo_sim: --fault " << fault << ": " << problem << std::endl;
      return 2;
    }
  }
  std::string error;
  auto current = std::make_unique<Pty>();
  Pty* pty = current.get();
  if (!pty->Open(error)) {
    log << "xruvo_sim: " << error << std::endl;
    return 1;
  }
  std::string linkedTo;
  if (!options.link.empty()) {
    if (!PlaceLink(options.link, pty->SlavePath(), error)) {
      log << "xruvo_sim: " << error << std::endl;
      return 1;
    }
    linkedTo = pty->SlavePath();
  }
  ControlChannel control;
  const bool hasControl = !options.control.empty();
  if (hasControl && !control.Open(options.control, error)) {
    log << "xruvo_sim: " << error << std::endl;
    if (!linkedTo.empty()) RemoveLink(options.link, linkedTo);
    return 1;
  }
  std::cout << pty->SlavePath() << std::endl;
  LogoFile logo(options.logo);

  // A paced byte leaves at its wire time, as a line would send it: a timer of this process
  // may end a microsecond late, not the kernel's default 50 (measured on a virtual machine:
  // ppoll's 200 us ended 104 us late at the median, 41 us with this).
  ::prctl(PR_SET_TIMERSLACK, 1000UL, 0UL, 0UL, 0UL);

  std::uint8_t buffer[4096];
  // A line a killed client left in exclusive mode is freed; looked at a few times a second,
  // not between every two bytes of a paced answer, where the extra system calls would
  // split the answer into more pieces than a real line would.
  constexpr std::int64_t kHoldCheckUs = 100000;
  std::int64_t nextHoldCheckUs = 0;
  while (stop == 0) {
    // Wake for the next byte to the microsecond: paced answers go out at their wire time,
    // not rounded up to whole milliseconds.
    std::int64_t waitUs = 100000;
    if (const auto due = engine.NextDueUs()) {
      waitUs = std::clamp<std::int64_t>(*due - clock.MonotonicUs(), 0, 100000);
    }
    const timespec timeout{0, static_cast<long>(waitUs * 1000)};
    pollfd fds[2] = {{pty->Master(), POLLIN, 0}, {control.Fd(), POLLIN, 0}};
    const int ready = ppoll(fds, hasControl ? 2 : 1, &timeout, nullptr);
    if (ready < 0 && errno != EINTR) {
      log << "xruvo_sim: " << LastError("poll") << std::endl;
      break;
    }
    if (ready > 0 && (fds[0].revents & POLLIN) != 0) {
      const ssize_t n = read(pty->Master(), buffer, sizeof buffer);
      if (n > 0) engine.Receive(buffer, static_cast<std::size_t>(n));
    } else if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR)) != 0) {
      usleep(20000);  // nobody on the slave side; wait for the next connection
    }
    if (hasControl && ready > 0 && (fds[1].revents & POLLIN) != 0)
      control.ReadLines(engine, *pty, log);
    if (clock.MonotonicUs() >= nextHoldCheckUs) {
      pty->ReleaseStaleHold();
      nextHoldCheckUs = clock.MonotonicUs() + kHoldCheckUs;
    }

    for (std::size_t n; (n = engine.TakeDue(buffer, sizeof buffer)) > 0;) {
      logo.Update(engine.GetDevice(), log);
      if (!WriteAll(pty->Master(), buffer, n, stop)) {
        engine.DropPendingOutput();
        break;
      }
    }
    // The device vanished mid-answer: its line goes dead and a fresh one appears in its
    // place, as when a USB serial adapter is pulled and plugged back.
    if (engine.Vanished() && !engine.NextDueUs()) {
      usleep(300000);  // let the driver read the half answer before its line goes dead
      // The fresh one is made before the old one closes, so that it gets another name.
      auto fresh = std::make_unique<Pty>();
      if (!fresh->Open(error)) {
        log << "xruvo_sim: " << error << std::endl;
        break;
      }
      current = std::move(fresh);
      pty = current.get();
      if (!options.link.empty()) {
        RemoveLink(options.link, linkedTo);
        linkedTo =
            PlaceLink(options.link, pty->SlavePath(), error) ? pty->SlavePath() : std::string();
      }
      engine.Revive();
      log << "xruvo_sim: vanished; now on " << pty->SlavePath() << std::endl;
    }
  }
  if (!linkedTo.empty()) RemoveLink(options.link, linkedTo);
  return 0;
}

}  // namespace xruvo_sim
