#include "platform/NetworkAddress.h"

#include <cctype>

#include "platform/IntegerText.h"

namespace ruvo {

namespace {

constexpr std::string_view kTcpScheme = "tcp://";
constexpr std::string_view kRfc2217Scheme = "rfc2217://";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

// Letters, digits and the few marks a host name or an address can hold; "%" for the zone
// of a link-local IPv6 address.
bool HostCharacter(char c, bool inBrackets) {
  if (std::isalnum(static_cast<unsigned char>(c)) != 0) return true;
  if (c == '.' || c == '-' || c == '_') return true;
  return inBrackets && (c == ':' || c == '%');
}

std::optional<std::uint16_t> ParsePort(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;  // no sign, no blanks
  }
  const std::optional<std::int32_t> value = ParseInt32(text);
  if (!value || *value < 1 || *value > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(*value);
}

}  // namespace

std::string NetworkAddress::Text() const {
  const std::string scheme(protocol == NetworkProtocol::Rfc2217 ? kRfc2217Scheme : kTcpScheme);
  const bool v6 = host.find(':') != std::string::npos;
  return scheme + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool NamesNetwork(std::string_view entry) {
  return StartsWithNoCase(entry, kTcpScheme) || StartsWithNoCase(entry, kRfc2217Scheme);
}

std::optional<NetworkAddress> ParseNetworkAddress(std::string_view entry) {
  NetworkAddress address;
  std::string_view rest;
  if (StartsWithNoCase(entry, kTcpScheme)) {
    address.protocol = NetworkProtocol::RawTcp;
    rest = entry.substr(kTcpScheme.size());
  } else if (StartsWithNoCase(entry, kRfc2217Scheme)) {
    address.protocol = NetworkProtocol::Rfc2217;
    rest = entry.substr(kRfc2217Scheme.size());
  } else {
    return std::nullopt;
  }
  // A slash after the port ("tcp://box:4001/") is forgiven; a path is not.
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);

  std::string_view host;
  std::string_view port;
  bool inBrackets = false;
  if (!rest.empty() && rest.front() == '[') {
    const std::size_t close = rest.find(']');
    if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':') {
      return std::nullopt;
    }
    host = rest.substr(1, close - 1);
    port = rest.substr(close + 2);
    inBrackets = true;
  } else {
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
    // Two colons outside brackets: an IPv6 address, which needs them to tell its port.
    if (host.find(':') != std::string_view::npos) return std::nullopt;
  }
  if (host.empty()) return std::nullopt;
  for (char c : host) {
    if (!HostCharacter(c, inBrackets)) return std::nullopt;
  }
  if (inBrackets && host.find(':') == std::string_view::npos) return std::nullopt;
  const std::optional<std::uint16_t> number = ParsePort(port);
  if (!number) return std::nullopt;
  address.host = std::string(host);
  address.port = *number;
  return address;
}

}  // namespace ruvo
