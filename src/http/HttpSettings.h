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
  // 0.0.0.0 or [::]: every address of the machine.
  bool Wildcard() const;
  // Whether the server may speak plain HTTP here: on 127.0.0.1, [::1] and a Unix socket,
  // where no byte leaves the machine. Anywhere else (other 127.x addresses included, which
  // nobody uses by chance) it speaks HTTPS only: the token and the receipts would cross
  // the shop's network in clear.
  bool PlainHttpAllowed() const;
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
  // HTTPS (an address other than loopback): the certificate (PEM, its chain after it) and
  // its key (PEM, unencrypted, not readable by others), relative to the working folder;
  // none named: the self-signed one made in the working folder at the first start.
  std::string certificateFile;  // CertificatHttp
  std::string keyFile;          // CheieHttp
};

HttpSettings ReadHttpSettings(const IniFile& ini);

// The list of a setting: items separated by "," or blanks, empty ones left out.
std::vector<std::string> SplitList(const std::string& text);

}  // namespace ruvo::http
