#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ruvo {
class IniFile;
}

namespace ruvo::http {

// Where the server listens: a TCP address (IPv4 or IPv6 literal and port) or the path of
// a Unix socket.
struct ListenAddress {
  bool unixSocket = false;
  std::string host;  // an IP literal, IPv6 without brackets
  std::uint16_t port = 0;
  std::string path;  // the Unix socket

  bool Ipv6() const { return !unixSocket && host.find(':') != std::string::npos; }
  bool Loopback() const;
  // As a Host header names it: "127.0.0.1:8765", "[::1]:8765"; "localhost" for a socket.
  std::string HostHeader() const;
};

// "127.0.0.1:8765", "[::1]:8765", "/run/x/http.sock" or "unix:/run/x/http.sock"; nullopt
// for anything else (names are not looked up: the address is what is bound).
std::optional<ListenAddress> ParseListenAddress(const std::string& text);

// The server's settings, keys of section "Configurari" of XRUVODRV.INI. The server is off
// unless "ServerHttp=DA".
struct HttpSettings {
  static constexpr int kDefaultKeepDays = 7;
  static constexpr int kDefaultWaitSeconds = 5;
  static constexpr int kMaxWaitSeconds = 60;

  bool enabled = false;                          // ServerHttp
  std::string address = "127.0.0.1:8765";        // AdresaHttp
  std::vector<std::string> extraHosts;           // GazdeHttp: more names a Host may give
  std::vector<std::string> corsOrigins;          // OriginiHttp: browser origins allowed
  int keepDays = kDefaultKeepDays;               // ZilePastrareHttp: how long keys are kept
  int defaultWaitSeconds = kDefaultWaitSeconds;  // AsteptareHttp
};

HttpSettings ReadHttpSettings(const IniFile& ini);

// The list of a setting: items separated by "," or blanks, empty ones left out.
std::vector<std::string> SplitList(const std::string& text);

}  // namespace ruvo::http
