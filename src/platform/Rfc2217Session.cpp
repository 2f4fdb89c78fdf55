#include "platform/Rfc2217Session.h"

namespace ruvo {

namespace {

std::string ComPortCommand(std::uint8_t command, std::vector<std::uint8_t> value) {
  value.insert(value.begin(), command);
  return TelnetSubnegotiation(telnet::kComPortOption, value);
}

}  // namespace

Rfc2217Session::Rfc2217Session(ComPortLine line) : line_(line) {}

bool Rfc2217Session::WeOffer(std::uint8_t option) {
  return option == telnet::kComPortOption || option == telnet::kBinary ||
         option == telnet::kSuppressGoAhead;
}

bool Rfc2217Session::WeAccept(std::uint8_t option) {
  // Not ECHO: the ECR's answers must not come back mixed with our own frames.
  return option == telnet::kBinary || option == telnet::kSuppressGoAhead;
}

std::string Rfc2217Session::Greeting() {
  us_[telnet::kComPortOption] = WantYes;
  us_[telnet::kBinary] = WantYes;
  him_[telnet::kBinary] = WantYes;
  return TelnetCommand(telnet::kWill, telnet::kComPortOption) +
         TelnetCommand(telnet::kWill, telnet::kBinary) +
         TelnetCommand(telnet::kDo, telnet::kBinary);
}

std::string Rfc2217Session::LineSetup() const {
  const std::uint32_t baud = line_.baudRate;
  return ComPortCommand(rfc2217::kSetBaudRate,
                        {static_cast<std::uint8_t>(baud >> 24),
                         static_cast<std::uint8_t>(baud >> 16),
                         static_cast<std::uint8_t>(baud >> 8), static_cast<std::uint8_t>(baud)}) +
         ComPortCommand(rfc2217::kSetDataSize, {line_.dataBits}) +
         ComPortCommand(rfc2217::kSetParity, {line_.parity}) +
         ComPortCommand(rfc2217::kSetStopSize, {line_.stopBits}) +
         ComPortCommand(rfc2217::kSetControl, {rfc2217::kHardwareFlowOut}) +
         ComPortCommand(rfc2217::kSetControl, {rfc2217::kHardwareFlowIn}) +
         ComPortCommand(rfc2217::kSetControl, {rfc2217::kDtrOn}) +
         ComPortCommand(rfc2217::kSetControl, {rfc2217::kRtsOn}) +
         ComPortCommand(rfc2217::kPurgeData, {rfc2217::kPurgeBoth});
}

bool Rfc2217Session::LineConfirmed() const {
  return baudRate_.has_value() && dataSizeConfirmed_ && parityConfirmed_ && stopSizeConfirmed_ &&
         purgeConfirmed_;
}

std::string Rfc2217Session::Receive(const std::uint8_t* bytes, std::size_t count,
                                    std::vector<std::uint8_t>& data) {
  decoder_.Feed(bytes, count, data);
  std::string answer;
  for (const TelnetRequest& request : decoder_.TakeRequests()) HandleRequest(request, answer);
  for (const std::vector<std::uint8_t>& sub : decoder_.TakeSubnegotiations()) {
    HandleSubnegotiation(sub);
  }
  return answer;
}

std::string Rfc2217Session::Encode(const std::uint8_t* data, std::size_t count) const {
  return TelnetEncodeData(data, count, us_[telnet::kBinary] == Yes);
}

// Agreement without loops: a request that confirms what is already so, or what we asked
// for, is not answered; a change is answered once.
void Rfc2217Session::HandleRequest(const TelnetRequest& request, std::string& answer) {
  const std::uint8_t option = request.option;
  switch (request.verb) {
    case telnet::kDo:
      if (us_[option] == Yes) break;
      if (WeOffer(option)) {
        if (us_[option] == No) answer += TelnetCommand(telnet::kWill, option);
        us_[option] = Yes;
      } else {
        answer += TelnetCommand(telnet::kWont, option);
      }
      break;
    case telnet::kDont:
      if (option == telnet::kComPortOption) comPortRefused_ = true;
      if (us_[option] == Yes) answer += TelnetCommand(telnet::kWont, option);
      us_[option] = No;
      break;
    case telnet::kWill:
      if (him_[option] == Yes) break;
      if (WeAccept(option)) {
        if (him_[option] == No) answer += TelnetCommand(telnet::kDo, option);
        him_[option] = Yes;
      } else {
        answer += TelnetCommand(telnet::kDont, option);
      }
      break;
    case telnet::kWont:
      if (him_[option] == Yes) answer += TelnetCommand(telnet::kDont, option);
      him_[option] = No;
      break;
    default:
      break;
  }
  decoder_.SetPeerBinary(him_[telnet::kBinary] == Yes);
}

void Rfc2217Session::HandleSubnegotiation(const std::vector<std::uint8_t>& sub) {
  if (sub.size() < 2 || sub[0] != telnet::kComPortOption) return;
  const std::uint8_t command = sub[1];
  const std::size_t valueSize = sub.size() - 2;
  const std::uint8_t* value = sub.data() + 2;
  if (command < rfc2217::kServerOffset || valueSize == 0) return;
  switch (command - rfc2217::kServerOffset) {
    case rfc2217::kSetBaudRate:
      if (valueSize == 4) {
        baudRate_ = (std::uint32_t{value[0]} << 24) | (std::uint32_t{value[1]} << 16) |
                    (std::uint32_t{value[2]} << 8) | std::uint32_t{value[3]};
      }
      break;
    case rfc2217::kSetDataSize:
      dataSizeConfirmed_ = true;
      break;
    case rfc2217::kSetParity:
      parityConfirmed_ = true;
      break;
    case rfc2217::kSetStopSize:
      stopSizeConfirmed_ = true;
      break;
    case rfc2217::kPurgeData:
      purgeConfirmed_ = true;
      break;
    case rfc2217::kNotifyModemState:
      modemState_ = value[0];
      break;
    default:
      break;  // line state, flow control suspend and resume, signature: nothing to do
  }
}

}  // namespace ruvo
