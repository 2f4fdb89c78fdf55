#include "DeviceServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>
#include <vector>

#include "E2eFiles.h"
#include "FreePort.h"

namespace ruvo::e2e {

using ruvo::testing::WaitUntil;

namespace {

constexpr const char* kSer2Net = "/usr/sbin/ser2net";

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

// True once something listens on the port: it can no longer be bound. No connection is
// made, which to ser2net would be a client opening the device.
bool Listening(std::uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const sockaddr_in address = Loopback(port);
  const bool bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return !bound;
}

int ConnectLoopback(std::uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const sockaddr_in address = Loopback(port);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

std::uint16_t FreeLoopbackPort() { return static_cast<std::uint16_t>(FreePort()); }

bool Ser2NetInstalled() { return access(kSer2Net, X_OK) == 0; }

DeviceServer::DeviceServer(const std::string& device, const std::string& rawLine)
    : device_(device), rawLine_(rawLine) {
  rawPort_ = FreeLoopbackPort();
  telnetPort_ = FreeLoopbackPort();
  while (telnetPort_ == rawPort_) telnetPort_ = FreeLoopbackPort();
}

DeviceServer::~DeviceServer() { Kill(); }

bool DeviceServer::Start() {
  const std::string config = folder_ / "ser2net.yaml";
  WriteBytes(config,
             "connection: &raw\n"
             "  accepter: tcp,127.0.0.1," +
                 std::to_string(rawPort_) + "\n" + "  connector: serialdev," + device_ + "," +
                 rawLine_ + ",local\n" +
                 "connection: &rfc2217\n"
                 "  accepter: telnet(rfc2217),tcp,127.0.0.1," +
                 std::to_string(telnetPort_) + "\n" + "  connector: serialdev," + device_ +
                 ",9600n81,local\n");
  // -n: in the foreground; -u: no UUCP lock files; the pid file in our own folder.
  if (!process_.Start({kSer2Net, "-n", "-u", "-c", config, "-P", folder_ / "ser2net.pid"},
                      folder_ / "ser2net.out", folder_ / "ser2net.err")) {
    return false;
  }
  return WaitUntil([&] { return Listening(rawPort_) && Listening(telnetPort_); }, 5000) &&
         process_.Running();
}

bool DeviceServer::Kill() {
  if (!process_.Running()) return true;
  return process_.Stop(SIGKILL) == -1;
}

std::string DeviceServer::Messages() const {
  return ReadBytes(folder_ / "ser2net.out") + ReadBytes(folder_ / "ser2net.err");
}

StallingProxy::StallingProxy(std::uint16_t target, bool ipv6) : target_(target), ipv6_(ipv6) {
  sockaddr_storage address{};
  socklen_t size = 0;
  if (ipv6) {
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
    v6->sin6_family = AF_INET6;
    v6->sin6_addr = in6addr_loopback;
    size = sizeof *v6;
  } else {
    *reinterpret_cast<sockaddr_in*>(&address) = Loopback(0);
    size = sizeof(sockaddr_in);
  }
  listener_ = socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0 || bind(listener_, reinterpret_cast<const sockaddr*>(&address), size) != 0 ||
      listen(listener_, 8) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
      pipe2(wake_, O_CLOEXEC) != 0) {
    return;
  }
  port_ = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                     : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
  thread_ = std::thread([this] { Serve(); });
}

StallingProxy::~StallingProxy() {
  stopping_ = true;
  if (wake_[1] >= 0) static_cast<void>(write(wake_[1], "x", 1));
  if (thread_.joinable()) thread_.join();
  for (int fd : {listener_, wake_[0], wake_[1]}) {
    if (fd >= 0) close(fd);
  }
}

void StallingProxy::Serve() {
  // Pairs of client and server descriptors.
  std::vector<std::pair<int, int>> pairs;
  while (!stopping_) {
    if (cutAll_.exchange(false)) {
      for (const auto& [client, server] : pairs) {
        close(client);
        close(server);
      }
      pairs.clear();
      stalled_ = false;
    }
    std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
    for (const auto& [client, server] : pairs) {
      // Stalled, nothing is read: the bytes stay in the kernel's buffers, unacknowledged
      // by us, as if lost on the way.
      const short events = stalled_ ? 0 : POLLIN;
      fds.push_back({client, events, 0});
      fds.push_back({server, events, 0});
    }
    if (poll(fds.data(), fds.size(), 20) < 0) continue;
    // A pair accepted below was not polled: it is read from the next turn on.
    const std::size_t polled = pairs.size();
    if ((fds[1].revents & POLLIN) != 0) {
      const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      const int server = client >= 0 ? ConnectLoopback(target_) : -1;
      if (server >= 0) {
        pairs.emplace_back(client, server);
      } else if (client >= 0) {
        close(client);
      }
    }
    std::vector<std::pair<int, int>> open;
    for (std::size_t k = 0; k < pairs.size(); ++k) {
      const auto [client, server] = pairs[k];
      bool closed = false;
      for (int side = 0; side < 2 && !closed && k < polled; ++side) {
        const pollfd& p = fds[2 + 2 * k + static_cast<std::size_t>(side)];
        if ((p.revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        char buffer[4096];
        const ssize_t n = read(p.fd, buffer, sizeof buffer);
        if (n <= 0) {
          closed = true;
          break;
        }
        if (stalled_) continue;  // read just as the stall began: lost
        const int to = side == 0 ? server : client;
        static_cast<void>(send(to, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL));
        if (side == 0) forwardedUp_ += static_cast<std::size_t>(n);
      }
      if (closed) {
        close(client);
        close(server);
      } else {
        open.emplace_back(client, server);
      }
    }
    pairs = std::move(open);
  }
  for (const auto& [client, server] : pairs) {
    close(client);
    close(server);
  }
}

}  // namespace ruvo::e2e
