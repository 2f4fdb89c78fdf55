// The server on a Unix socket against what it finds at its path: the socket a killed
// driver left is taken over, a live server's socket and any other file are left alone,
// a folder other users can write is refused, and a stop removes the socket it made. And
// against clients that trickle their requests.
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <optional>

#include <gtest/gtest.h>

#include "http/HttpServer.h"
#include "platform/AtomicFile.h"
#include "platform/Files.h"
#include "platform/TempFolder.h"

namespace ruvo::http {
namespace {

// A socket of the test's own listening at path (-1 when it cannot be made).
int Listen(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un name{};
  name.sun_family = AF_UNIX;
  std::strncpy(name.sun_path, path.c_str(), sizeof name.sun_path - 1);
  if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&name), sizeof name) != 0 ||
      ::listen(fd, 4) != 0) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  return fd;
}

// A client's socket connected to path, or -1.
int ConnectTo(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un name{};
  name.sun_family = AF_UNIX;
  std::strncpy(name.sun_path, path.c_str(), sizeof name.sun_path - 1);
  if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&name), sizeof name) == 0) {
    return fd;
  }
  if (fd >= 0) ::close(fd);
  return -1;
}

bool Connects(const std::string& path) {
  const int fd = ConnectTo(path);
  if (fd >= 0) ::close(fd);
  return fd >= 0;
}

bool IsSocket(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

class HttpServerUnixSocketTest : public ::testing::Test {
 protected:
  HttpServerUnixSocketTest()
      : receipts(folder.Path(), clock, 7),
        guard({"localhost"}, {}, "feedface"),
        api(
            receipts, guard, [] { return nlohmann::json::object(); }, 5,
            [](const std::vector<std::string>&) { return std::optional<ControlAnswer>(); }) {}

  std::unique_ptr<HttpServer> Server() {
    return std::make_unique<HttpServer>(*ParseListenAddress("unix:" + socketPath), api, receipts,
                                        clock);
  }

  ruvo::testing::TempFolder folder;
  const std::string socketPath = folder / "http.sock";
  VirtualClock clock;
  HttpReceipts receipts;
  RequestGuard guard;
  HttpApi api;
};

TEST_F(HttpServerUnixSocketTest, ASocketNothingListensOnIsTakenOverAndRemovedAtTheStop) {
  const int killed = Listen(socketPath);
  ASSERT_GE(killed, 0);
  ::close(killed);  // as a kill -9 leaves it: the file, and nobody behind it
  ASSERT_TRUE(IsSocket(socketPath));

  std::unique_ptr<HttpServer> server = Server();
  ASSERT_TRUE(server->Listening()) << server->Problem();
  struct stat status {};
  ASSERT_EQ(::lstat(socketPath.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0660u);
  EXPECT_TRUE(Connects(socketPath));
  server.reset();
  EXPECT_FALSE(FileExists(socketPath));
}

TEST_F(HttpServerUnixSocketTest, ALiveServersSocketOrAnotherFileAtThePathIsLeftAlone) {
  const int live = Listen(socketPath);
  ASSERT_GE(live, 0);
  {
    const std::unique_ptr<HttpServer> server = Server();
    EXPECT_FALSE(server->Listening());
    EXPECT_NE(server->Problem().find(socketPath), std::string::npos) << server->Problem();
  }
  // Still the other server's, before and after ours gave up.
  EXPECT_TRUE(IsSocket(socketPath));
  EXPECT_TRUE(Connects(socketPath));
  ::close(live);
  ASSERT_TRUE(DeleteFile(socketPath));

  ASSERT_TRUE(WriteFileAtomic(socketPath, "not a socket\n"));
  {
    const std::unique_ptr<HttpServer> server = Server();
    EXPECT_FALSE(server->Listening());
  }
  EXPECT_EQ(ReadFileBytes(socketPath), std::optional<std::string>("not a socket\n"));
  ASSERT_TRUE(DeleteFile(socketPath));

  // A folder others can write, sticky or not: nobody's to trust with the name.
  for (const mode_t mode : {01777, 0777}) {
    ASSERT_EQ(::chmod(folder.Path().c_str(), mode), 0);
    const std::unique_ptr<HttpServer> server = Server();
    EXPECT_FALSE(server->Listening());
    EXPECT_NE(server->Problem().find("other users can write"), std::string::npos)
        << server->Problem();
    EXPECT_FALSE(FileExists(socketPath));
  }
  ASSERT_EQ(::chmod(folder.Path().c_str(), 0700), 0);
}

// What the server sent to the client by the time it closed the connection, serving it
// meanwhile; nullopt when the connection is still open after a second of real time.
std::optional<std::string> UntilClosed(HttpServer& server, int client) {
  std::string received;
  for (int turn = 0; turn < 100; ++turn) {
    server.Serve();
    pollfd ready{client, POLLIN, 0};
    if (::poll(&ready, 1, 10) <= 0) continue;
    char buffer[4096];
    const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) return received;
    received.append(buffer, static_cast<std::size_t>(n));
  }
  return std::nullopt;
}

void SendAll(int fd, const std::string& bytes) {
  ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(bytes.size()));
}

// Any local user may connect to a server on the loopback: one who sends a request a few
// bytes at a time, never finishing it, must not keep a connection for as long as he likes.
TEST_F(HttpServerUnixSocketTest, ARequestThatTricklesInIsCutOffAtItsDeadline) {
  std::unique_ptr<HttpServer> server = Server();
  ASSERT_TRUE(server->Listening()) << server->Problem();
  const int slow = ConnectTo(socketPath);
  const int body = ConnectTo(socketPath);
  ASSERT_GE(slow, 0);
  ASSERT_GE(body, 0);
  SendAll(slow, "GET /v1/status HTTP/1.1\r\nHost: localhost\r\n");
  SendAll(body, "POST /v1/receipts HTTP/1.1\r\nHost: localhost\r\nContent-Length: 100\r\n\r\n{");
  const std::int64_t arrivalMs = HttpServer::kArrivalSeconds * 1000;
  for (std::int64_t ms = 0; ms < arrivalMs - 1000; ms += 1000) {
    clock.Advance(1000);
    SendAll(slow, "X-More: 1\r\n");
    SendAll(body, " ");
    server->Serve();
  }
  server->Serve();
  pollfd open[] = {{slow, POLLIN, 0}, {body, POLLIN, 0}};
  EXPECT_EQ(::poll(open, 2, 0), 0) << "both kept while within their time";

  clock.Advance(2000);
  EXPECT_EQ(UntilClosed(*server, slow), std::optional<std::string>("")) << "closed, no answer";
  EXPECT_EQ(UntilClosed(*server, body), std::optional<std::string>(""));
  ::close(slow);
  ::close(body);

  // A request that arrives whole is answered as before, however late in the connection.
  const int quick = ConnectTo(socketPath);
  ASSERT_GE(quick, 0);
  SendAll(quick, "GET /v1/status HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
  const std::optional<std::string> answer = UntilClosed(*server, quick);
  ::close(quick);
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->rfind("HTTP/1.1 ", 0), 0u) << *answer;
}

// Two Host or two Authorization headers: a proxy in front may have read the other one.
TEST_F(HttpServerUnixSocketTest, AHeaderThatMustComeOnceIsRefusedWhenRepeated) {
  std::unique_ptr<HttpServer> server = Server();
  ASSERT_TRUE(server->Listening()) << server->Problem();
  const auto ask = [&](const std::string& headers) {
    const int client = ConnectTo(socketPath);
    EXPECT_GE(client, 0);
    SendAll(client, "GET /v1/status HTTP/1.1\r\n" + headers + "Connection: close\r\n\r\n");
    const std::optional<std::string> answer = UntilClosed(*server, client);
    ::close(client);
    return answer.value_or("(no answer)");
  };
  for (const std::string twice :
       {"Host: localhost\r\nHost: elsewhere\r\n",
        "Host: localhost\r\nAuthorization: Bearer a\r\nauthorization: Bearer b\r\n",
        "Host: localhost\r\nIdempotency-Key: k1\r\nIdempotency-Key: k1\r\n"}) {
    const std::string answer = ask(twice);
    EXPECT_EQ(answer.rfind("HTTP/1.1 400 ", 0), 0u) << twice << answer;
    EXPECT_NE(answer.find("repeated-header"), std::string::npos) << answer;
  }
  // Others may come as often as the client likes.
  const std::string answer = ask("Host: localhost\r\nAccept: */*\r\nAccept: text/plain\r\n");
  EXPECT_EQ(answer.rfind("HTTP/1.1 200 ", 0), 0u) << answer;
}

}  // namespace
}  // namespace ruvo::http
