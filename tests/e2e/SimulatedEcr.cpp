#include "SimulatedEcr.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "E2eFiles.h"

namespace ruvo::e2e {

namespace {

constexpr int kStartMs = 5000;
constexpr int kControlMs = 5000;

}  // namespace

SimulatedEcr::SimulatedEcr(const std::string& folder, const std::string& name)
    : link_(folder + "/" + name + ".tty"),
      paper_(folder + "/" + name + ".paper.txt"),
      control_(folder + "/" + name + ".ctl"),
      out_(folder + "/" + name + ".out"),
      err_(folder + "/" + name + ".err") {}

bool SimulatedEcr::Start(const std::vector<std::string>& extraArgs) {
  std::vector<std::string> args = {XRUVO_SIM_PATH, "--link",    link_,   "--paper",
                                   paper_,         "--control", control_};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  if (!process_.Start(args, out_, err_)) return false;
  return WaitUntil(
      [&] {
        std::string announced = ReadBytes(out_);
        const std::size_t end = announced.find('\n');
        if (end == std::string::npos) return false;
        announced.resize(end);
        return !announced.empty() && LinkTarget() == announced && PathExists(control_);
      },
      kStartMs);
}

int SimulatedEcr::Stop() { return process_.Stop(SIGTERM); }

std::string SimulatedEcr::Paper() const { return ReadBytes(paper_); }

std::string SimulatedEcr::LinkTarget() const {
  char target[256] = {};
  const ssize_t n = readlink(link_.c_str(), target, sizeof target - 1);
  return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

bool SimulatedEcr::Control(const std::string& command) {
  const std::string taken = "xruvo_sim: control: " + command + "\n";
  const int before = CountOf(Messages(), taken);
  const int fd = open(control_.c_str(), O_WRONLY | O_NONBLOCK);
  if (fd < 0) return false;
  const std::string line = command + "\n";
  const bool written = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  close(fd);
  return written && WaitUntil([&] { return CountOf(Messages(), taken) > before; }, kControlMs);
}

std::string SimulatedEcr::Messages() const { return ReadBytes(err_); }

}  // namespace ruvo::e2e
