#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/TelnetCodec.h"

namespace ruvo {

// The COM-PORT-OPTION commands of RFC 2217 the driver sends; a server answers each with
// the command plus 100 and the value it now has.
namespace rfc2217 {
constexpr std::uint8_t kSetBaudRate = 1;
constexpr std::uint8_t kSetDataSize = 2;
constexpr std::uint8_t kSetParity = 3;
constexpr std::uint8_t kSetStopSize = 4;
constexpr std::uint8_t kSetControl = 5;
constexpr std::uint8_t kNotifyModemState = 7;
constexpr std::uint8_t kPurgeData = 12;
constexpr std::uint8_t kServerOffset = 100;

constexpr std::uint8_t kParityNone = 1;
constexpr std::uint8_t kOneStopBit = 1;
constexpr std::uint8_t kHardwareFlowOut = 3;
constexpr std::uint8_t kDtrOn = 8;
constexpr std::uint8_t kRtsOn = 11;
constexpr std::uint8_t kHardwareFlowIn = 16;
constexpr std::uint8_t kPurgeBoth = 3;
}  // namespace rfc2217

// The line the ECR wants, as a local port sets it: 115,200 bit/s, 8N1, RTS/CTS both ways,
// DTR and RTS raised.
struct ComPortLine {
  std::uint32_t baudRate = 115200;
  std::uint8_t dataBits = 8;
  std::uint8_t parity = rfc2217::kParityNone;
  std::uint8_t stopBits = rfc2217::kOneStopBit;
};

// One telnet conversation with an RFC 2217 server, without the socket: what to send, and
// what the server's bytes mean. The port feeds it everything received and sends what it
// answers; the data bytes alone go on to the link.
class Rfc2217Session {
 public:
  explicit Rfc2217Session(ComPortLine line = {});

  // The opening: WILL COM-PORT-OPTION, and binary both ways (the ECR's frames are no text).
  std::string Greeting();
  // The settings of the line, then the purge of both buffers: bytes left from an earlier
  // conversation would be taken for the next answer. Sent once the server has agreed to
  // the option.
  std::string LineSetup() const;

  // Bytes from the server: data appended to data, the answer to send back returned.
  std::string Receive(const std::uint8_t* bytes, std::size_t count,
                      std::vector<std::uint8_t>& data);

  // Data for the server, IAC doubled.
  std::string Encode(const std::uint8_t* data, std::size_t count) const;

  bool ComPortAccepted() const { return us_[telnet::kComPortOption] == Yes; }
  bool ComPortRefused() const { return comPortRefused_; }
  // The server has confirmed every setting and the purge.
  bool LineConfirmed() const;
  // The baud rate the server says the line has now.
  std::optional<std::uint32_t> ConfirmedBaudRate() const { return baudRate_; }
  // CTS, DSR, RI and DCD as the server last told them (bits 4..7 of its modem state).
  std::optional<std::uint8_t> ModemState() const { return modemState_; }

 private:
  enum OptionState : std::uint8_t { No, WantYes, Yes };
  void HandleRequest(const TelnetRequest& request, std::string& answer);
  void HandleSubnegotiation(const std::vector<std::uint8_t>& sub);
  static bool WeOffer(std::uint8_t option);
  static bool WeAccept(std::uint8_t option);

  ComPortLine line_;
  TelnetDecoder decoder_;
  OptionState us_[256] = {};   // options on our side (WILL)
  OptionState him_[256] = {};  // options on the server's side (DO)
  bool comPortRefused_ = false;
  std::optional<std::uint32_t> baudRate_;
  bool dataSizeConfirmed_ = false;
  bool parityConfirmed_ = false;
  bool stopSizeConfirmed_ = false;
  bool purgeConfirmed_ = false;
  std::optional<std::uint8_t> modemState_;
};

}  // namespace ruvo
