#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ruvo {

// The telnet layer under RFC 2217: the bytes of the ECR travel as telnet data, commands
// ride beside them after IAC (0xFF), and a data byte 0xFF goes as IAC IAC. None of this
// reaches the link: it sees the ECR's bytes only.
namespace telnet {
constexpr std::uint8_t kIac = 255;
constexpr std::uint8_t kDont = 254;
constexpr std::uint8_t kDo = 253;
constexpr std::uint8_t kWont = 252;
constexpr std::uint8_t kWill = 251;
constexpr std::uint8_t kSb = 250;
constexpr std::uint8_t kSe = 240;

constexpr std::uint8_t kBinary = 0;
constexpr std::uint8_t kEcho = 1;
constexpr std::uint8_t kSuppressGoAhead = 3;
constexpr std::uint8_t kComPortOption = 44;
}  // namespace telnet

// An option request of the other side: WILL, WONT, DO or DONT, and the option.
struct TelnetRequest {
  std::uint8_t verb = 0;
  std::uint8_t option = 0;
  bool operator==(const TelnetRequest&) const = default;
};

// Takes the byte stream from the server apart: data, option requests and subnegotiations.
// The stream may be cut anywhere; what a piece leaves unfinished is finished by the next.
class TelnetDecoder {
 public:
  // While the server does not send binary, a CR it sends is followed by a NUL that is no
  // data (CR LF stays CR LF).
  void SetPeerBinary(bool binary) { peerBinary_ = binary; }

  // Appends the data bytes of the piece to data; keeps the requests and subnegotiations.
  void Feed(const std::uint8_t* bytes, std::size_t count, std::vector<std::uint8_t>& data);

  std::vector<TelnetRequest> TakeRequests();
  // Each subnegotiation without IAC SB and IAC SE: the option first, then its bytes.
  std::vector<std::vector<std::uint8_t>> TakeSubnegotiations();

 private:
  enum class State { Data, Iac, Verb, Sub, SubIac, AfterCr };
  // A subnegotiation longer than this is garbage and is dropped.
  static constexpr std::size_t kMaxSubnegotiation = 256;

  State state_ = State::Data;
  std::uint8_t verb_ = 0;
  bool peerBinary_ = false;
  bool subTooLong_ = false;
  std::vector<std::uint8_t> sub_;
  std::vector<TelnetRequest> requests_;
  std::vector<std::vector<std::uint8_t>> subnegotiations_;
};

// Data for the server: every 0xFF doubled; unless we send binary, CR alone becomes CR NUL.
std::string TelnetEncodeData(const std::uint8_t* data, std::size_t count, bool binary);

// IAC verb option.
std::string TelnetCommand(std::uint8_t verb, std::uint8_t option);

// IAC SB option payload IAC SE, with 0xFF in the payload doubled.
std::string TelnetSubnegotiation(std::uint8_t option, const std::vector<std::uint8_t>& payload);

}  // namespace ruvo
