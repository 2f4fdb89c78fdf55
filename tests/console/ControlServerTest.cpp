// The control socket: one request at a time on the driver's thread, clients that send
// garbage, too much, too little or nothing at all get an answer or are dropped, and the
// socket serves on; only the driver's own user and root are served.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "console/ControlServer.h"
#include "platform/TempFolder.h"

namespace ruvo {
namespace {

using Lines = std::vector<std::string>;

// A client's end, connected at once (the listening socket's backlog takes it before the
// server accepts), closed when the object goes.
class Client {
 public:
  explicit Client(const std::string& path) : fd_(ConnectControlSocket(path)) {}
  ~Client() { ::close(fd_); }
  bool Connected() const { return fd_ >= 0; }
  void Send(const std::string& bytes, bool done = true) {
    ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
    if (done) ::shutdown(fd_, SHUT_WR);
  }
  // Everything until the server closes.
  std::string Answer() {
    std::string all;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::recv(fd_, buffer, sizeof buffer, 0)) > 0)
      all.append(buffer, static_cast<std::size_t>(n));
    return all;
  }

 private:
  int fd_;
};

class ControlServerTest : public ::testing::Test {
 protected:
  ControlServerTest()
      : server(instance, clock, [this](const Lines& arguments) {
          handled.push_back(arguments);
          return Succeeded({"served " + arguments[0]});
        }) {}

  testing::TempFolder folder;
  std::string instance = ControlSocketPath(folder.Path());
  VirtualClock clock;
  std::vector<Lines> handled;
  ControlServer server;
};

TEST_F(ControlServerTest, AWholeRequestReachesTheHandlerAndItsAnswerTheClient) {
  ASSERT_TRUE(server.Listening()) << server.Problem();
  EXPECT_GE(server.Fd(), 0);
  server.ServeOne();  // nobody waiting: returns at once
  EXPECT_TRUE(handled.empty());

  Client client(instance);
  ASSERT_TRUE(client.Connected());
  client.Send(EncodeRequest({"cash-in", "150,50", "SOLD INITIAL"}));
  server.ServeOne();
  EXPECT_EQ(client.Answer(), "RUVOCTL 1 OK 1\nserved cash-in\n");
  EXPECT_EQ(handled, (std::vector<Lines>{{"cash-in", "150,50", "SOLD INITIAL"}}));

  struct stat st {};
  ASSERT_EQ(::lstat(instance.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600U);
}

TEST(ControlServerFile, ALeftoverSocketIsReplacedAndTheSocketGoesWithTheServer) {
  testing::TempFolder folder;
  const std::string path = ControlSocketPath(folder.Path());
  VirtualClock clock;
  {
    // What a killed driver leaves: a socket file nobody listens on.
    const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(stale, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(stale);
  }
  {
    ControlServer server(path, clock, [](const Lines&) { return Succeeded({"here"}); });
    ASSERT_TRUE(server.Listening()) << server.Problem();
    Client client(path);
    ASSERT_TRUE(client.Connected());
    client.Send(EncodeRequest({"status"}));
    server.ServeOne();
    EXPECT_EQ(client.Answer(), "RUVOCTL 1 OK 1\nhere\n");
  }
  struct stat st {};
  EXPECT_NE(::lstat(path.c_str(), &st), 0);
  EXPECT_LT(ConnectControlSocket(path), 0);
  ControlServer tooLong("/" + std::string(120, 'n'), clock,
                        [](const Lines&) { return Succeeded(); });
  EXPECT_FALSE(tooLong.Listening());
  EXPECT_NE(tooLong.Problem().find("too long"), std::string::npos);
}

TEST_F(ControlServerTest, BadClientsAreAnsweredOrDroppedAndTheNextOneIsServed) {
  ASSERT_TRUE(server.Listening()) << server.Problem();
  struct Case {
    std::string sent;
    bool finished;  // the client says it is done (or stalls)
    std::string answer;
  };
  const std::string tooLong = "RUVOCTL 1 1\n" + std::string(kMaxRequestBytes + 100, 'x');
  for (const Case& c : std::vector<Case>{
           {"GET / HTTP/1.0\r\n\r\n", true,
            "RUVOCTL 1 FAIL 1\nMalformed request: not a control request\n"},
           {"RUVOCTL 1 2\nstatus\n", true, "RUVOCTL 1 FAIL 1\nMalformed request: truncated\n"},
           {"", true, "RUVOCTL 1 FAIL 1\nMalformed request: truncated\n"},
           {tooLong, false, "RUVOCTL 1 FAIL 1\nMalformed request: longer than 4096 bytes\n"},
           {"RUVOCTL 1 1\nsta", false, ""},  // stalls: dropped without an answer
       }) {
    const std::int64_t before = clock.MonotonicMs();
    Client client(instance);
    ASSERT_TRUE(client.Connected());
    client.Send(c.sent, c.finished);
    server.ServeOne();
    if (!c.finished && c.answer.empty()) {
      EXPECT_TRUE(server.HasWaiting()) << "kept while the rest may still come";
      clock.Advance(ControlServer::kRequestDeadlineMs);
      server.ServeOne();
      EXPECT_FALSE(server.HasWaiting());
    }
    EXPECT_EQ(client.Answer(), c.answer) << c.sent.substr(0, 40);
    EXPECT_LE(clock.MonotonicMs() - before, ControlServer::kRequestDeadlineMs + 50);
  }
  EXPECT_TRUE(handled.empty());

  Client good(instance);
  good.Send(EncodeRequest({"status"}));
  server.ServeOne();
  EXPECT_EQ(good.Answer(), "RUVOCTL 1 OK 1\nserved status\n");
}

// The loop and the driver's waits call ServeOne on the one thread that also talks to the
// ECR: a client that connects and is slow to send, or sends nothing, must not hold it.
TEST_F(ControlServerTest, AClientStillSendingHoldsUpNeitherTheThreadNorOtherClients) {
  ASSERT_TRUE(server.Listening()) << server.Problem();
  const std::int64_t before = clock.MonotonicMs();
  Client slow(instance);
  Client silent(instance);
  const std::string request = EncodeRequest({"status"});
  slow.Send(request.substr(0, 5), false);
  server.ServeOne();
  server.ServeOne();
  EXPECT_EQ(clock.MonotonicMs(), before) << "no wait on the driver's thread";
  EXPECT_TRUE(server.HasWaiting());

  Client quick(instance);
  quick.Send(EncodeRequest({"x-report"}));
  server.ServeOne();
  EXPECT_EQ(quick.Answer(), "RUVOCTL 1 OK 1\nserved x-report\n");

  slow.Send(request.substr(5));
  server.ServeOne();
  EXPECT_EQ(slow.Answer(), "RUVOCTL 1 OK 1\nserved status\n");
  EXPECT_EQ(handled, (std::vector<Lines>{{"x-report"}, {"status"}}));

  // A request that ends just past the limit, in two pieces, is still too long.
  Client pieces(instance);
  const std::string tooLong = "RUVOCTL 1 1\n" + std::string(kMaxRequestBytes, 'x') + "\n";
  pieces.Send(tooLong.substr(0, 3000), false);
  server.ServeOne();
  pieces.Send(tooLong.substr(3000));
  server.ServeOne();
  EXPECT_EQ(pieces.Answer(), "RUVOCTL 1 FAIL 1\nMalformed request: longer than 4096 bytes\n");

  clock.Advance(ControlServer::kRequestDeadlineMs);
  server.ServeOne();
  EXPECT_FALSE(server.HasWaiting()) << "the silent client dropped at its deadline";
  EXPECT_EQ(handled.size(), 2u);
}

TEST(ControlPeer, OnlyTheDriversOwnUserAndRootAreServed) {
  EXPECT_TRUE(ControlPeerAllowed(1000, 1000));
  EXPECT_TRUE(ControlPeerAllowed(0, 1000));
  EXPECT_TRUE(ControlPeerAllowed(0, 0));
  EXPECT_FALSE(ControlPeerAllowed(1001, 1000));
  EXPECT_FALSE(ControlPeerAllowed(65534, 0));
}

TEST_F(ControlServerTest, ARequestFromAnotherUserIsRefused) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root to connect as another user; ControlPeer covers the rule";
  }
  ASSERT_TRUE(server.Listening()) << server.Problem();
  // The folder and the socket's mode keep others out before they can ask; opened here so
  // that the server's own check on the caller is what answers.
  ASSERT_EQ(::chmod(folder.Path().c_str(), 0711), 0);
  ASSERT_EQ(::chmod(instance.c_str(), 0666), 0);
  int toParent[2];
  ASSERT_EQ(::pipe(toParent), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Drops to "nobody" before it connects, then hands its answer to the parent.
    ::close(toParent[0]);
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    Client client(instance);
    if (!client.Connected()) ::_exit(3);
    client.Send(EncodeRequest({"z-report"}));
    const std::string answer = client.Answer();
    const bool written =
        ::write(toParent[1], answer.data(), answer.size()) == static_cast<ssize_t>(answer.size());
    ::_exit(written ? 0 : 4);
  }
  ::close(toParent[1]);
  // The child connects on its own time; serve until it has been.
  for (int k = 0; k < 500 && handled.empty(); ++k) {
    server.ServeOne();
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) == child) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
      break;
    }
    ::usleep(10000);
  }
  std::string answer;
  char buffer[512];
  ssize_t n = 0;
  while ((n = ::read(toParent[0], buffer, sizeof buffer)) > 0)
    answer.append(buffer, static_cast<std::size_t>(n));
  ::close(toParent[0]);
  ::waitpid(child, nullptr, 0);
  EXPECT_EQ(answer,
            "RUVOCTL 1 FAIL 1\nPermission denied: the driver takes requests only from its own "
            "user and root\n");
  EXPECT_TRUE(handled.empty());
}

// A request the handler holds for later keeps its client waiting, is asked again at every
// ServeOne, and is answered once the handler takes it; one whose client has gone is not run.
TEST(ControlServerWaiting, HeldRequestsAreAnsweredLaterOrDroppedWhenTheirClientHasGone) {
  testing::TempFolder folder;
  const std::string instance = ControlSocketPath(folder.Path());
  VirtualClock clock;
  bool working = true;
  std::vector<std::string> ran;
  ControlServer server(instance, clock,
                       [&](const Lines& arguments) -> std::optional<ControlAnswer> {
                         if (working && arguments[0] != "status") return std::nullopt;
                         ran.push_back(arguments[0]);
                         return Succeeded({"done " + arguments[0]});
                       });
  ASSERT_TRUE(server.Listening()) << server.Problem();

  Client kept(instance);
  kept.Send(EncodeRequest({"stop"}));
  server.ServeOne();
  {
    Client gone(instance);
    gone.Send(EncodeRequest({"start"}));
    server.ServeOne();
  }
  Client status(instance);
  status.Send(EncodeRequest({"status"}));
  server.ServeOne();
  EXPECT_EQ(status.Answer(), "RUVOCTL 1 OK 1\ndone status\n") << "answered past the held ones";
  EXPECT_TRUE(server.HasWaiting());
  EXPECT_EQ(ran, Lines{"status"});

  working = false;
  server.ServeOne();
  EXPECT_EQ(kept.Answer(), "RUVOCTL 1 OK 1\ndone stop\n");
  EXPECT_EQ(ran, (Lines{"status", "stop"})) << "the start of a client that left is not run";
  EXPECT_FALSE(server.HasWaiting());
}

}  // namespace
}  // namespace ruvo
