// The server on a Unix socket against what it finds at its path: the socket a killed
// driver left is taken over, a live server's socket and any other file are left alone,
// and a stop removes the socket it made.
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

bool Connects(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un name{};
  name.sun_family = AF_UNIX;
  std::strncpy(name.sun_path, path.c_str(), sizeof name.sun_path - 1);
  const bool connected =
      fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&name), sizeof name) == 0;
  if (fd >= 0) ::close(fd);
  return connected;
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
}

}  // namespace
}  // namespace ruvo::http
