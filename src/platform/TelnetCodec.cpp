#include "platform/TelnetCodec.h"

#include <utility>

namespace ruvo {

void TelnetDecoder::Feed(const std::uint8_t* bytes, std::size_t count,
                         std::vector<std::uint8_t>& data) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t b = bytes[i];
    switch (state_) {
      case State::AfterCr:
        state_ = State::Data;
        if (b == 0) break;  // the NUL that follows a CR in NVT text
        [[fallthrough]];
      case State::Data:
        if (b == telnet::kIac) {
          state_ = State::Iac;
        } else {
          data.push_back(b);
          if (b == '\r' && !peerBinary_) state_ = State::AfterCr;
        }
        break;
      case State::Iac:
        if (b == telnet::kIac) {
          data.push_back(b);
          state_ = State::Data;
        } else if (b == telnet::kWill || b == telnet::kWont || b == telnet::kDo ||
                   b == telnet::kDont) {
          verb_ = b;
          state_ = State::Verb;
        } else if (b == telnet::kSb) {
          sub_.clear();
          subTooLong_ = false;
          state_ = State::Sub;
        } else {
          state_ = State::Data;  // NOP, GA, a lone SE and the like carry nothing for us
        }
        break;
      case State::Verb:
        requests_.push_back(TelnetRequest{verb_, b});
        state_ = State::Data;
        break;
      case State::Sub:
        if (b == telnet::kIac) {
          state_ = State::SubIac;
        } else if (sub_.size() < kMaxSubnegotiation) {
          sub_.push_back(b);
        } else {
          subTooLong_ = true;
        }
        break;
      case State::SubIac:
        if (b == telnet::kIac) {
          if (sub_.size() < kMaxSubnegotiation) sub_.push_back(b);
          state_ = State::Sub;
        } else {
          // IAC SE ends it; any other command inside a subnegotiation ends it too.
          if (!sub_.empty() && !subTooLong_) subnegotiations_.push_back(std::move(sub_));
          sub_.clear();
          state_ = State::Data;
        }
        break;
    }
  }
}

std::vector<TelnetRequest> TelnetDecoder::TakeRequests() { return std::exchange(requests_, {}); }

std::vector<std::vector<std::uint8_t>> TelnetDecoder::TakeSubnegotiations() {
  return std::exchange(subnegotiations_, {});
}

std::string TelnetEncodeData(const std::uint8_t* data, std::size_t count, bool binary) {
  std::string out;
  out.reserve(count + count / 8 + 2);
  for (std::size_t i = 0; i < count; ++i) {
    out += static_cast<char>(data[i]);
    if (data[i] == telnet::kIac) out += static_cast<char>(telnet::kIac);
    if (data[i] == '\r' && !binary && (i + 1 >= count || data[i + 1] != '\n')) out += '\0';
  }
  return out;
}

std::string TelnetCommand(std::uint8_t verb, std::uint8_t option) {
  return std::string{static_cast<char>(telnet::kIac), static_cast<char>(verb),
                     static_cast<char>(option)};
}

std::string TelnetSubnegotiation(std::uint8_t option, const std::vector<std::uint8_t>& payload) {
  std::string out{static_cast<char>(telnet::kIac), static_cast<char>(telnet::kSb),
                  static_cast<char>(option)};
  for (std::uint8_t b : payload) {
    out += static_cast<char>(b);
    if (b == telnet::kIac) out += static_cast<char>(telnet::kIac);
  }
  out += static_cast<char>(telnet::kIac);
  out += static_cast<char>(telnet::kSe);
  return out;
}

}  // namespace ruvo
