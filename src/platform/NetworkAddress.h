#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ruvo {

// How the ECR's bytes cross the network to a serial device server.
enum class NetworkProtocol {
  RawTcp,   // "tcp://": the bytes as on the wire; the box's own settings set the line
  Rfc2217,  // "rfc2217://": telnet, and the line set by the driver (baud, bits, flow control)
};

// A port of section "Porturi" that is on the network: COM1=tcp://192.168.1.20:4001,
// COM2=rfc2217://[fe80::1%eth0]:2217, COM3=rfc2217://ecr-box.local:7000.
struct NetworkAddress {
  NetworkProtocol protocol = NetworkProtocol::RawTcp;
  std::string host;  // a name, an IPv4 address, or an IPv6 address without its brackets
  std::uint16_t port = 0;

  // "tcp://HOST:PORT" again, IPv6 in brackets: what log lines and messages show.
  std::string Text() const;

  bool operator==(const NetworkAddress&) const = default;
};

// True for an entry that names the network ("tcp://" or "rfc2217://", in any case), whether
// or not the rest of it is a good address: such an entry is never taken for a device.
bool NamesNetwork(std::string_view entry);

// The address of an entry that names the network; nullopt when it is malformed: no host,
// no port or a port outside 1..65535, an IPv6 address without brackets, a path or blanks.
std::optional<NetworkAddress> ParseNetworkAddress(std::string_view entry);

}  // namespace ruvo
