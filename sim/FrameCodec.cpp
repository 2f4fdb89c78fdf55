#include "FrameCodec.h"

namespace xruvo_sim {

namespace {

// What the ECR puts in the four bytes after ACK: the driver never looks at them
// (except in the length-prefixed answer), so they stay a neutral "0000".
constexpr const char* kStatusBytes = "0000";

}  // namespace

std::string Checksum(const std::string& bytes) {
  unsigned sum = 0;
  for (unsigned char c : bytes) sum += c;
  const unsigned rest = sum % 100;
  std::string out(2, '0');
  out[0] = static_cast<char>('0' + rest / 10);
  out[1] = static_cast<char>('0' + rest % 10);
  return out;
}

std::string BuildRequest(const std::string& text) {
  const std::string body = "000" + text;
  return std::string(1, kStx) + body + Checksum(body) + std::string(1, kEtx);
}

std::string BuildAnswer(const std::string& echo, const std::string& data) {
  std::string echo4 = echo.substr(0, 4);
  echo4.resize(4, '0');
  const std::string body = kStatusBytes + echo4 + data;
  return std::string(1, kAck) + body + Checksum(body) + std::string(1, kEtx);
}

std::string BuildErrorAnswer(int code) {
  if (code < 0 || code > 99) code = 0;
  std::string digits(2, '0');
  digits[0] = static_cast<char>('0' + code / 10);
  digits[1] = static_cast<char>('0' + code % 10);
  const std::string body = std::string(kStatusBytes) + "ERR" + digits;
  return std::string(1, kAck) + body + Checksum(body) + std::string(1, kEtx);
}

std::string BuildLengthPrefixedAnswer(const std::string& data) {
  const auto length = static_cast<std::uint32_t>(data.size());
  std::string out(1, kAck);
  out.push_back(static_cast<char>((length >> 24) & 0xFF));
  out.push_back(static_cast<char>((length >> 16) & 0xFF));
  out.push_back(static_cast<char>((length >> 8) & 0xFF));
  out.push_back(static_cast<char>(length & 0xFF));
  out += data;
  // 5 bytes of head plus 15 of tail (the echo, eight zeros, the checksum and ETX):
  // exactly the length + 20 the driver waits for.
  std::string tail = "7404" + std::string(8, '0');
  tail += Checksum(data + tail);
  out += tail;
  out.push_back(kEtx);
  return out;
}

std::optional<RequestFrame> FrameParser::Feed(std::uint8_t byte) {
  const char c = static_cast<char>(byte);
  if (c == kStx) {
    if (inFrame_) dropped_ += body_.size() + 1;
    inFrame_ = true;
    body_.clear();
    return std::nullopt;
  }
  if (!inFrame_) {
    ++dropped_;
    return std::nullopt;
  }
  if (c != kEtx) {
    body_.push_back(c);
    if (body_.size() > kMaxFrame) {
      dropped_ += body_.size() + 1;
      Reset();
    }
    return std::nullopt;
  }
  RequestFrame frame;
  inFrame_ = false;
  if (body_.size() >= 5 && body_.compare(0, 3, "000") == 0) {
    const std::string covered = body_.substr(0, body_.size() - 2);
    frame.valid = Checksum(covered) == body_.substr(body_.size() - 2);
    frame.text = body_.substr(3, body_.size() - 5);
  }
  body_.clear();
  return frame;
}

void FrameParser::Reset() {
  inFrame_ = false;
  body_.clear();
}

}  // namespace xruvo_sim
