// `ruvo_drv ctl` against a running headless driver: the state, the operations that wait
// for processing to stop, the commands as they reach the ECR, and requests that are no
// requests, after which the driver still serves.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

#include "DriverRig.h"
#include "E2eFiles.h"
#include "console/ControlServer.h"
#include "platform/Files.h"
#include "support/ChildProcess.h"

namespace ruvo::e2e {
namespace {

bool IsSocket(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

struct CtlResult {
  int exitCode = -2;
  std::string out;
  std::string err;
};

RigOptions WithZNumbers() {
  RigOptions options;
  options.simArgs = {"--z", "10"};
  return options;
}

class ControlTest : public DriverTest {
 protected:
  explicit ControlTest(const RigOptions& options = WithZNumbers()) : DriverTest(options) {}

  // `ruvo_drv ctl` with the command; prefix runs it through another program (runuser).
  CtlResult Ctl(const std::vector<std::string>& command,
                const std::vector<std::string>& prefix = {}) {
    std::vector<std::string> args = prefix;
    for (const std::string& arg : {std::string(RUVO_DRV_PATH), std::string("ctl"),
                                   std::string("--instance"), rig.Instance()}) {
      args.push_back(arg);
    }
    args.insert(args.end(), command.begin(), command.end());
    ChildProcess ctl;
    CtlResult result;
    if (!ctl.Start(args, rig.PathOf("ctl.out"), rig.PathOf("ctl.err"), rig.Environment())) {
      return result;
    }
    result.exitCode = ctl.Wait(DriverRig::kAnswerMs);
    result.out = ReadBytes(rig.PathOf("ctl.out"));
    result.err = ReadBytes(rig.PathOf("ctl.err"));
    return result;
  }

  // The exchange logs of the operations run so far that the working folder holds.
  std::string Logs(const std::string& mask) {
    std::string all;
    for (const std::string& name : ListMatching(rig.Folder(), mask))
      all += ReadBytes(rig.PathOf(name));
    return all;
  }

  // Raw bytes to the driver's control socket; what came back.
  std::string SendRaw(const std::string& bytes) {
    const int fd = ConnectControlSocket(rig.ControlSocket());
    std::string answer;
    if (fd >= 0) {
      ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      ::shutdown(fd, SHUT_WR);
      char buffer[1024];
      ssize_t n = 0;
      while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
        answer.append(buffer, static_cast<std::size_t>(n));
      ::close(fd);
    }
    return answer;
  }
};

TEST_F(ControlTest, StatusStopAndStartAsTheTrayMenuDoes) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  CtlResult status = Ctl({"status"});
  EXPECT_EQ(status.exitCode, 0) << status.err;
  EXPECT_EQ(status.out.rfind(
                "START PROCESARE\nConectat la casa : COM 1\nLinii libere in memoria JE :", 0),
            0U)
      << status.out;

  EXPECT_EQ(Ctl({"stop"}).out, "STOP PROCESARE\n");
  EXPECT_EQ(rig.Status("Stare"), "STOP PROCESARE");
  EXPECT_EQ(Ctl({"status"}).out.rfind("STOP PROCESARE\n", 0), 0U);
  const CtlResult started = Ctl({"start"});
  EXPECT_EQ(started.exitCode, 0) << started.err;
  EXPECT_EQ(started.out, "START PROCESARE\nConectat la casa : COM 1\n");
  EXPECT_EQ(rig.Status("Stare"), "START PROCESARE");

  const CtlResult elsewhere = Ctl({"--dir", "/", "status"});
  EXPECT_EQ(elsewhere.exitCode, 1);
  EXPECT_NE(elsewhere.err.find("This driver works in "), std::string::npos) << elsewhere.err;
  EXPECT_EQ(Ctl({"--dir", rig.Folder(), "status"}).exitCode, 0);
}

TEST_F(ControlTest, AZReportWaitsUntilProcessingIsStoppedThenRunsAsFromTheWindow) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  const std::string paperBefore = rig.Ecr().Paper();
  const CtlResult refused = Ctl({"z-report"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err, "Opriti procesarea: ruvo_drv ctl stop\n");
  EXPECT_EQ(rig.Ecr().Paper(), paperBefore);
  EXPECT_TRUE(Logs("Log_RapZ_*").empty() &&
              ListMatching(rig.Folder() + "/Log", "Log_RapZ_*").empty());

  ASSERT_EQ(Ctl({"stop"}).exitCode, 0);
  const CtlResult mf = Ctl({"mf-report", "--by-z", "7", "7"});
  EXPECT_EQ(mf.exitCode, 0) << mf.out << mf.err;
  EXPECT_NE(Logs("Log_RapMF_*.TXT").find("500100070007"), std::string::npos) << Logs("Log_RapMF_*");

  const CtlResult cash = Ctl({"cash-in", "150.50"});
  EXPECT_EQ(cash.exitCode, 0) << cash.out << cash.err;
  EXPECT_NE(Logs("Log_InOutNumerar_*.TXT").find("7106D000015050"), std::string::npos);

  const CtlResult z = Ctl({"z-report"});
  EXPECT_EQ(z.exitCode, 0) << z.out << z.err;
  EXPECT_EQ(ListMatching(rig.Folder() + "/Log", "Log_RapZ_*.TXT").size(), 1U);
}

TEST_F(ControlTest, ErrorsComeBackConvertedForTheTerminal) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  ASSERT_EQ(Ctl({"stop"}).exitCode, 0);
  ASSERT_TRUE(rig.Ecr().Control("err 7106 16 once"));
  const CtlResult cash = Ctl({"cash-out", "20,00", "PLATĂ"});
  EXPECT_EQ(cash.exitCode, 1);
  EXPECT_NE(cash.err.find("16;Eroare lipsa hartie – inlocuiti rola de hartie"), std::string::npos)
      << cash.err;
  const CtlResult unicode = Ctl({"cash-out", "5", "日本"});
  EXPECT_EQ(unicode.exitCode, 1);
  EXPECT_NE(unicode.err.find("Windows-1250"), std::string::npos) << unicode.err;
}

TEST_F(ControlTest, MalformedRequestsGetAClearErrorAndTheDriverServesOn) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  for (const std::string& bad :
       {std::string("\xFF\xFE garbage\n"), std::string("RUVOCTL 1 3\nstatus\n"),
        "RUVOCTL 1 1\n" + std::string(10000, 'a') + "\n"}) {
    const std::string answer = SendRaw(bad);
    EXPECT_EQ(answer.rfind("RUVOCTL 1 FAIL 1\nMalformed request: ", 0), 0U) << answer;
  }
  EXPECT_EQ(SendRaw(EncodeRequest({"frobnicate"})),
            "RUVOCTL 1 FAIL 2\nunknown command: frobnicate\nSee: ruvo_drv --help\n");
  // While processing runs an operation is refused before its arguments are looked at.
  const CtlResult processing = Ctl({"cash-in", "1,2,3"});
  EXPECT_EQ(processing.exitCode, 1);
  EXPECT_EQ(processing.err, "Opriti procesarea: ruvo_drv ctl stop\n");
  EXPECT_EQ(Ctl({"stop"}).exitCode, 0);
  const CtlResult badNumber = Ctl({"cash-in", "1,2,3"});
  EXPECT_EQ(badNumber.exitCode, 1);
  EXPECT_EQ(badNumber.err, "[Eroare] Suma eronata !\n");
  EXPECT_EQ(Ctl({}).exitCode, 1);
  EXPECT_TRUE(rig.DriverRunning());
  EXPECT_EQ(Ctl({"status"}).exitCode, 0);
}

RigOptions WithHttpThatCannotListen() {
  RigOptions options;
  options.settings = {"ServerHttp=DA", "AdresaHttp=unix:/nonexistent-ruvo-folder/http.sock"};
  return options;
}

class ControlWithHttpFailureTest : public ControlTest {
 protected:
  ControlWithHttpFailureTest() : ControlTest(WithHttpThatCannotListen()) {}
};

// The HTTP server the settings ask for and that cannot listen is no secret of the journal.
TEST_F(ControlWithHttpFailureTest, StatusSaysWhyTheHttpServerDoesNotRun) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  const CtlResult status = Ctl({"status"});
  EXPECT_EQ(status.exitCode, 0);
  const std::string line = "Server HTTP oprit: ";
  const std::size_t at = status.out.find(line);
  ASSERT_NE(at, std::string::npos) << status.out;
  EXPECT_NE(status.out.find("/nonexistent-ruvo-folder", at), std::string::npos) << status.out;
  EXPECT_EQ(Ctl({"stop"}).out, "STOP PROCESARE\n") << "only status carries it";
}

bool RootWithRunuser(const std::string& runuser) {
  return ::geteuid() == 0 && ::access(runuser.c_str(), X_OK) == 0;
}

TEST_F(ControlTest, AnotherUserCannotEvenReachTheDriver) {
  const std::string runuser = "/usr/sbin/runuser";
  if (!RootWithRunuser(runuser)) {
    GTEST_SKIP() << "needs root and runuser to call as another user; ControlPeer and "
                    "ControlServerTest cover the rule";
  }
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  const CtlResult foreign = Ctl({"stop"}, {runuser, "-u", "nobody", "--"});
  EXPECT_EQ(foreign.exitCode, 1);
  EXPECT_EQ(foreign.err.rfind("ruvo_drv ctl: no driver runs as instance " + rig.Instance(), 0), 0u)
      << foreign.err;
  EXPECT_EQ(rig.Status("Stare"), "START PROCESARE");
  EXPECT_EQ(Ctl({"status"}).exitCode, 0);
}

// A process of user nobody that takes, before the driver starts, every name it can: the
// abstract socket names an older driver used, and the instance's folder with a socket
// answering in the driver's name and a locked guard, in a runtime folder that everybody
// may write (as a careless setup leaves it). It answers every caller "SQUATTER".
class Squatter {
 public:
  Squatter(const std::string& runtimeBase, const std::string& instance) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
      Squat(runtimeBase, instance, ready[1]);
      ::_exit(0);
    }
    ::close(ready[1]);
    char answer = 0;
    ready_ = ::read(ready[0], &answer, 1) == 1 && answer == 'y';
    ::close(ready[0]);
  }
  ~Squatter() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Squatter(const Squatter&) = delete;
  Squatter& operator=(const Squatter&) = delete;
  bool Ready() const { return ready_; }

 private:
  static int Listen(const std::string& name, bool abstract) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + (abstract ? 1 : 0), name.data(), name.size());
    const auto length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + (abstract ? 1 : 0) + name.size());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        ::listen(fd, 8) != 0) {
      return -1;
    }
    return fd;
  }

  static void Squat(const std::string& runtimeBase, const std::string& instance, int ready) {
    const std::string folder = runtimeBase + "/ruvo-drv/" + instance;
    ::umask(0);
    const bool made = ::mkdir((runtimeBase + "/ruvo-drv").c_str(), 0777) == 0 &&
                      ::mkdir(folder.c_str(), 0777) == 0;
    const int lock = ::open((folder + "/instance.lock").c_str(), O_RDWR | O_CREAT, 0666);
    const bool locked = lock >= 0 && ::flock(lock, LOCK_EX | LOCK_NB) == 0;
    const int guard = Listen(instance, true);
    const int oldControl = Listen(instance + ".ctl", true);
    const int control = Listen(folder + "/control.sock", false);
    const char answer = made && locked && guard >= 0 && oldControl >= 0 && control >= 0 ? 'y' : 'n';
    if (::write(ready, &answer, 1) != 1) return;
    for (;;) {
      pollfd listening[2] = {{oldControl, POLLIN, 0}, {control, POLLIN, 0}};
      if (::poll(listening, 2, -1) <= 0) continue;
      for (const pollfd& p : listening) {
        if ((p.revents & POLLIN) == 0) continue;
        const int client = ::accept(p.fd, nullptr, nullptr);
        const std::string lie = "RUVOCTL 1 OK 1\nSQUATTER\n";
        if (client >= 0 && ::send(client, lie.data(), lie.size(), MSG_NOSIGNAL) >= 0)
          ::close(client);
      }
    }
  }

  pid_t pid_ = -1;
  bool ready_ = false;
};

TEST_F(ControlTest, NamesTakenFirstByAnotherUserChangeNothing) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  ASSERT_EQ(::chmod(rig.RuntimeBase().c_str(), 01777), 0);
  const Squatter squatter(rig.RuntimeBase(), rig.Instance());
  ASSERT_TRUE(squatter.Ready());

  // The driver passes over the folder it does not own and starts in its working folder.
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  EXPECT_NE(rig.DriverMessages().find("belongs to another user"), std::string::npos)
      << rig.DriverMessages();
  EXPECT_TRUE(IsSocket(rig.PathOf(".ruvodrv-" + rig.Instance() + "/control.sock")));

  // ctl passes over the squatter's socket too and reaches only the driver.
  const CtlResult status = Ctl({"--dir", rig.Folder(), "status"});
  EXPECT_EQ(status.exitCode, 0) << status.err;
  EXPECT_EQ(status.out.rfind("START PROCESARE\n", 0), 0U) << status.out;
  EXPECT_EQ(Ctl({"--dir", rig.Folder(), "stop"}).out, "STOP PROCESARE\n");
  EXPECT_EQ(rig.Status("Stare"), "STOP PROCESARE");
  // Without the working folder to look in, there is nothing it trusts: it says why.
  const CtlResult lost = Ctl({"status"});
  EXPECT_EQ(lost.exitCode, 1);
  EXPECT_NE(lost.err.find("belongs to another user"), std::string::npos) << lost.err;
  EXPECT_EQ(lost.out, "");
}

RigOptions PrintingLong() {
  RigOptions options;
  options.simArgs = {"--z", "10", "--report-ms", "30000"};
  return options;
}

// A Z report of 30 seconds started by one `ctl`: meanwhile another `ctl` gets its status at
// once, a second Z is refused, and stop-report ends the report.
TEST(ControlDuringReport, StatusRefusalAndStopWhileAReportPrints) {
  DriverRig rig(PrintingLong());
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  const auto ctl = [&rig](const std::vector<std::string>& command, const std::string& name,
                          ChildProcess& process) {
    std::vector<std::string> args = {RUVO_DRV_PATH, "ctl", "--instance", rig.Instance()};
    args.insert(args.end(), command.begin(), command.end());
    return process.Start(args, rig.PathOf(name + ".out"), rig.PathOf(name + ".err"),
                         rig.Environment());
  };
  const auto run = [&](const std::vector<std::string>& command, const std::string& name) {
    ChildProcess process;
    CtlResult result;
    if (!ctl(command, name, process)) return result;
    result.exitCode = process.Wait(DriverRig::kAnswerMs);
    result.out = ReadBytes(rig.PathOf(name + ".out"));
    result.err = ReadBytes(rig.PathOf(name + ".err"));
    return result;
  };
  ASSERT_EQ(run({"stop"}, "stop").exitCode, 0);

  ChildProcess report;
  ASSERT_TRUE(ctl({"z-report"}, "report", report));
  CtlResult status;
  for (int tries = 0; tries < 100; ++tries) {
    status = run({"status"}, "status");
    if (status.out.find("Operatie in curs: ") != std::string::npos) break;
    ::usleep(50'000);
  }
  EXPECT_EQ(status.exitCode, 0);
  EXPECT_NE(status.out.find("Operatie in curs: Raport zilnic din "), std::string::npos)
      << status.out;
  EXPECT_TRUE(report.Running()) << "answered during the report, not after it";

  const CtlResult second = run({"z-report"}, "second");
  EXPECT_EQ(second.exitCode, 1);
  EXPECT_EQ(second.err, "O operatie este in curs: Raport zilnic\n");
  EXPECT_TRUE(report.Running());

  const CtlResult stop = run({"stop-report"}, "stop-report");
  EXPECT_EQ(stop.exitCode, 0) << stop.err;
  EXPECT_EQ(stop.out, "Oprire ceruta raportului in curs: Raport zilnic\n");
  EXPECT_EQ(report.Wait(DriverRig::kAnswerMs), 1) << "the report ended interrupted";
  EXPECT_NE(ReadBytes(rig.PathOf("report.err")).find("26;Operatie intrerupta de utilizator"),
            std::string::npos);
  EXPECT_NE(rig.Ecr().Paper().find("RAPORT INTRERUPT"), std::string::npos);
  EXPECT_EQ(run({"status"}, "after").out.find("Operatie in curs"), std::string::npos);
}

}  // namespace
}  // namespace ruvo::e2e
