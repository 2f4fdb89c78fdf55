#include "http/HttpSettings.h"

#include <arpa/inet.h>

#include <algorithm>

#include "platform/IniFile.h"
#include "platform/IntegerText.h"

namespace ruvo::http {

namespace {

const std::string kSection = "Configurari";

std::optional<std::uint16_t> ParsePort(const std::string& text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  const std::optional<std::int32_t> value = ParseInt32(text);
  if (!value || *value < 1 || *value > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(*value);
}

bool IsIpLiteral(const std::string& host, int family) {
  unsigned char buffer[16];
  return ::inet_pton(family, host.c_str(), buffer) == 1;
}

}  // namespace

bool ListenAddress::Loopback() const {
  if (unixSocket) return true;
  if (Ipv6()) return host == "::1";
  return host.rfind("127.", 0) == 0;
}

bool ListenAddress::Wildcard() const {
  return !unixSocket && (host == "0.0.0.0" || host == "::" || host == "0:0:0:0:0:0:0:0");
}

bool ListenAddress::PlainHttpAllowed() const {
  return unixSocket || host == "127.0.0.1" || host == "::1";
}

std::string ListenAddress::HostHeader() const {
  if (unixSocket) return "localhost";
  const std::string name = Ipv6() ? "[" + host + "]" : host;
  return name + ":" + std::to_string(port);
}

std::optional<ListenAddress> ParseListenAddress(const std::string& text) {
  ListenAddress address;
  std::string rest = text;
  if (rest.rfind("unix:", 0) == 0) rest = rest.substr(5);
  if (!rest.empty() && rest[0] == '/') {
    // sockaddr_un holds 108 bytes with the terminating zero.
    if (rest.size() > 107) return std::nullopt;
    address.unixSocket = true;
    address.path = rest;
    return address;
  }
  const std::size_t colon = rest.rfind(':');
  if (colon == std::string::npos) return std::nullopt;
  std::string host = rest.substr(0, colon);
  const std::optional<std::uint16_t> port = ParsePort(rest.substr(colon + 1));
  if (!port) return std::nullopt;
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
    if (!IsIpLiteral(host, AF_INET6)) return std::nullopt;
  } else if (!IsIpLiteral(host, AF_INET)) {
    return std::nullopt;
  }
  address.host = host;
  address.port = *port;
  return address;
}

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  std::string item;
  for (const char c : text) {
    if (c == ',' || c == ' ' || c == '\t') {
      if (!item.empty()) items.push_back(item);
      item.clear();
    } else {
      item += c;
    }
  }
  if (!item.empty()) items.push_back(item);
  return items;
}

HttpSettings ReadHttpSettings(const IniFile& ini) {
  HttpSettings settings;
  settings.enabled = ini.ReadFlag(kSection, "ServerHttp");
  const std::string address = ini.ReadString(kSection, "AdresaHttp");
  if (!address.empty()) settings.address = address;
  settings.extraHosts = SplitList(ini.ReadString(kSection, "GazdeHttp"));
  settings.corsOrigins = SplitList(ini.ReadString(kSection, "OriginiHttp"));
  const int keepDays = ini.ReadInteger(kSection, "ZilePastrareHttp", settings.keepDays);
  if (keepDays >= 1 && keepDays <= 3650) settings.keepDays = keepDays;
  const int wait = ini.ReadInteger(kSection, "AsteptareHttp", settings.defaultWaitSeconds);
  if (wait >= 0 && wait <= HttpSettings::kMaxWaitSeconds) settings.defaultWaitSeconds = wait;
  settings.certificateFile = ini.ReadString(kSection, "CertificatHttp");
  settings.keyFile = ini.ReadString(kSection, "CheieHttp");
  return settings;
}

}  // namespace ruvo::http
