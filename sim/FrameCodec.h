#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace xruvo_sim {

// Control bytes of the ECR's line protocol.
inline constexpr char kStx = 0x02;
inline constexpr char kEtx = 0x03;
inline constexpr char kAck = 0x06;
inline constexpr char kNak = 0x15;

// Sum of the byte values modulo 100, as two decimal digits.
std::string Checksum(const std::string& bytes);

// The request frame the driver sends for a command text: STX "000" text checksum ETX.
std::string BuildRequest(const std::string& text);

// A normal answer: ACK, four status bytes, the four-character echo, the data, checksum,
// ETX. The driver reads the data from offset 9 up to the fourth byte from the end.
std::string BuildAnswer(const std::string& echo, const std::string& data);

// An error answer: ACK, four status bytes, "ERR", the two-digit code, checksum, ETX.
std::string BuildErrorAnswer(int code);

// The one binary answer of the export: ACK, the data length as 4 bytes most significant
// first, the data, then padding so that the whole answer is length + 20 bytes, ending in
// ETX. The driver completes it by length, so the data may hold any byte, ETX included.
std::string BuildLengthPrefixedAnswer(const std::string& data);

// One request frame pulled out of the byte stream.
struct RequestFrame {
  std::string text;    // the command text between the header and the checksum
  bool valid = false;  // header "000" present and checksum right
};

// Collects request frames byte by byte. Bytes before an STX are line noise and dropped;
// an STX inside a frame starts a new one; a frame that grows beyond any sane length is
// dropped, so a babbling line cannot make the simulator hoard memory.
class FrameParser {
 public:
  static constexpr std::size_t kMaxFrame = 4096;

  // Returns a frame when this byte was the ETX that ended one.
  std::optional<RequestFrame> Feed(std::uint8_t byte);
  void Reset();
  std::size_t DroppedBytes() const { return dropped_; }

 private:
  bool inFrame_ = false;
  std::string body_;
  std::size_t dropped_ = 0;
};

}  // namespace xruvo_sim
