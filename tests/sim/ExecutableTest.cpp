// Starts the real xruvo_sim and talks to it over its pseudo-terminal, the way the
// driver's termios port does (raw mode, exclusive, locked).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SimTestSupport.h"
#include "platform/TempFolder.h"

namespace xruvo_sim::test {
namespace {

// Generous limits: they only stop a broken program from hanging the test.
constexpr int kPatienceMs = 5000;

class RunningSimulator {
 public:
  explicit RunningSimulator(const std::string& dir, const std::vector<std::string>& extra = {}) {
    link = dir + "/ecr";
    const std::string paper = dir + "/paper.txt";
    std::vector<std::string> args = {XRUVO_SIM_PATH, "--link", link, "--paper", paper};
    args.insert(args.end(), extra.begin(), extra.end());
    int out[2];
    if (pipe(out) != 0) return;
    pid = fork();
    if (pid == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(XRUVO_SIM_PATH, argv.data());
      _exit(127);
    }
    close(out[1]);
    stdoutFd = out[0];
  }

  ~RunningSimulator() {
    if (pid > 0 && !reaped) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (stdoutFd >= 0) close(stdoutFd);
  }

  std::string FirstLine() {
    std::string line;
    char c = 0;
    while (true) {
      pollfd p{stdoutFd, POLLIN, 0};
      if (poll(&p, 1, kPatienceMs) <= 0 || read(stdoutFd, &c, 1) != 1 || c == '\n') return line;
      line.push_back(c);
    }
  }

  int Stop() {
    kill(pid, SIGTERM);
    int status = 0;
    for (int waited = 0; waited < kPatienceMs; waited += 10) {
      if (waitpid(pid, &status, WNOHANG) == pid) {
        reaped = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      usleep(10000);
    }
    return -2;
  }

  pid_t pid = -1;
  int stdoutFd = -1;
  bool reaped = false;
  std::string link;
};

int OpenLikeTheDriver(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return -1;
  ioctl(fd, TIOCEXCL);
  flock(fd, LOCK_EX | LOCK_NB);
  termios tio{};
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  cfsetspeed(&tio, B115200);
  tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

// The driver gives up its exclusive hold before it closes: a pseudo-terminal keeps the
// mode past the last close, and nobody but root could open the line again.
void CloseLikeTheDriver(int fd) {
  ioctl(fd, TIOCNXCL);
  close(fd);
}

std::string Ask(int fd, const std::string& text, std::size_t expected) {
  const std::string frame = Frame(text);
  if (write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) return {};
  std::string got;
  char buffer[256];
  while (got.size() < expected) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, kPatienceMs) <= 0) break;
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
  }
  return got;
}

TEST(SimExecutable, AnswersStatusOnItsPtyAcrossReconnectsAndStopsOnSigterm) {
  const ruvo::testing::TempFolder folder;  // removed with everything in it, also on failure
  ASSERT_FALSE(folder.Path().empty());
  const std::string& dir = folder.Path();
  {
    RunningSimulator sim(dir);
    ASSERT_GT(sim.pid, 0);
    const std::string slave = sim.FirstLine();
    ASSERT_EQ(slave.rfind("/dev/pts/", 0), 0u) << slave;
    char target[256] = {};
    ASSERT_GT(readlink(sim.link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(slave, target);

    for (int connection = 0; connection < 2; ++connection) {
      const int fd = OpenLikeTheDriver(sim.link);
      ASSERT_GE(fd, 0);
      const std::string answer = Ask(fd, "1215", 32);
      ASSERT_EQ(answer.size(), 32u) << "connection " << connection;
      EXPECT_EQ(DataOf(answer), "00010011010010000000");
      CloseLikeTheDriver(fd);
    }
    EXPECT_EQ(sim.Stop(), 0);
    struct stat st {};
    EXPECT_NE(lstat(sim.link.c_str(), &st), 0);  // the link is gone
  }
}

std::string LinkTarget(const std::string& link) {
  char target[256] = {};
  return readlink(link.c_str(), target, sizeof target - 1) > 0 ? std::string(target)
                                                               : std::string();
}

TEST(SimExecutable, FaultsFromOptionsAndControlFifoAndAFreshPtyAfterVanishing) {
  const ruvo::testing::TempFolder folder;  // removed with everything in it, also on failure
  ASSERT_FALSE(folder.Path().empty());
  const std::string& dir = folder.Path();
  const std::string control = dir + "/control";
  {
    RunningSimulator sim(dir, {"--control", control, "--fault", "nak 1"});
    const std::string slave = sim.FirstLine();
    ASSERT_FALSE(slave.empty());
    int fd = OpenLikeTheDriver(sim.link);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Ask(fd, "1215", 1), "\x15");

    const auto tell = [&control](const std::string& command) {
      const int controlFd = open(control.c_str(), O_WRONLY | O_NONBLOCK);
      if (controlFd < 0) return false;
      const std::string line = command + "\n";
      const bool written =
          write(controlFd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
      close(controlFd);
      return written;
    };
    // Each control line takes hold within the simulator's next poll round: ask until it shows.
    ASSERT_TRUE(tell("status 2 1"));
    std::string status;
    const auto paperOutShows = [&status] { return status.size() == 20 && status[1] == '1'; };
    for (int tries = 0; tries < 250 && !paperOutShows(); ++tries) {
      usleep(20000);
      status = DataOf(Ask(fd, "1215", 32));
    }
    EXPECT_TRUE(paperOutShows());
    ASSERT_TRUE(tell("vanish"));
    std::string half;
    for (int tries = 0; tries < 250 && (half.empty() || half.size() == 32); ++tries) {
      usleep(20000);
      half = Ask(fd, "1215", 32);
    }
    EXPECT_EQ(half.size(), 16u);  // half of the answer, then the line went dead
    CloseLikeTheDriver(fd);

    std::string fresh;
    for (int waited = 0; waited < kPatienceMs && (fresh.empty() || fresh == slave); waited += 20) {
      usleep(20000);
      fresh = LinkTarget(sim.link);
    }
    ASSERT_FALSE(fresh.empty());
    fd = OpenLikeTheDriver(sim.link);
    ASSERT_GE(fd, 0);
    const std::string answer = Ask(fd, "1215", 32);
    ASSERT_EQ(answer.size(), 32u);
    EXPECT_EQ(DataOf(answer).substr(1, 1), "1");  // the device kept its state
    CloseLikeTheDriver(fd);
    EXPECT_EQ(sim.Stop(), 0);
    struct stat st {};
    EXPECT_NE(stat(control.c_str(), &st), 0);  // the FIFO it made is gone
  }
}

TEST(SimExecutable, ALineLeftExclusiveByAKilledClientIsFreed) {
  const ruvo::testing::TempFolder folder;
  ASSERT_FALSE(folder.Path().empty());
  RunningSimulator sim(folder.Path());
  ASSERT_FALSE(sim.FirstLine().empty());
  // Closed without giving up the mode, as a killed driver leaves it; its flock goes.
  close(OpenLikeTheDriver(sim.link));

  bool freed = false;
  for (int waited = 0; waited < kPatienceMs && !freed; waited += 20) {
    const int fd = open(sim.link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);  // root always may
    int exclusive = 1;
    if (fd >= 0) {
      freed = ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive == 0;
      close(fd);
    }
    if (!freed) usleep(20000);
  }
  EXPECT_TRUE(freed);
  const int fd = OpenLikeTheDriver(sim.link);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(Ask(fd, "1215", 32).size(), 32u);
  CloseLikeTheDriver(fd);
  EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimExecutable, HelpAndBadOptions) {
  const std::string command = std::string(XRUVO_SIM_PATH);
  EXPECT_EQ(std::system((command + " --help > /dev/null").c_str()), 0);
  EXPECT_NE(std::system((command + " --frobnicate 2> /dev/null").c_str()), 0);
  EXPECT_NE(std::system((command + " --je-free lots 2> /dev/null").c_str()), 0);
}

}  // namespace
}  // namespace xruvo_sim::test
