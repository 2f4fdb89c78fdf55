#pragma once

#include <cstdint>
#include <string>

namespace xruvo_sim {

// What a command handler gives back to the protocol engine, before any line fault.
struct Answer {
  enum class Kind { Data, Error, LengthPrefixed };

  Kind kind = Kind::Data;
  std::string data;  // the data part, or the whole binary payload of a length-prefixed answer
  int error = 0;     // for Kind::Error: the two-digit code

  // A command that keeps the ECR working: the answer leaves only after workMs, and
  // meanwhile the "1010" poll reports the ECR busy. With ackFirst the ECR sends a lone
  // ACK at once and the rest of the frame when it is done.
  std::int64_t workMs = 0;
  bool ackFirst = false;

  static Answer Ok(std::string text = {}) {
    Answer a;
    a.data = std::move(text);
    return a;
  }
  static Answer Err(int code) {
    Answer a;
    a.kind = Kind::Error;
    a.error = code;
    return a;
  }
  static Answer Binary(std::string payload) {
    Answer a;
    a.kind = Kind::LengthPrefixed;
    a.data = std::move(payload);
    return a;
  }
  Answer& Working(std::int64_t ms, bool lonelyAck = false) {
    workMs = ms;
    ackFirst = lonelyAck;
    return *this;
  }
};

// The ECR's own error codes the simulator answers with.
namespace ecr_error {
inline constexpr int kInvalidValue = 3;
inline constexpr int kInternalCode = 4;  // command not understood
inline constexpr int kImpossible = 5;    // not possible in the current document state
inline constexpr int kTotalWord = 7;
inline constexpr int kReceiptLimit = 9;
inline constexpr int kBadDateTime = 12;
inline constexpr int kDataMismatch = 14;
inline constexpr int kPaperOut = 16;
inline constexpr int kDocumentOpen = 21;
inline constexpr int kNegativeTotal = 23;
inline constexpr int kBadLength = 24;
inline constexpr int kPartlyPaid = 25;
inline constexpr int kInterrupted = 26;
inline constexpr int kJeFull = 30;
inline constexpr int kJeAbsent = 33;
inline constexpr int kCoverOpen = 37;
inline constexpr int kNoFile = 1;
inline constexpr int kMfAbsent = 50;
inline constexpr int kMfFull = 51;
inline constexpr int kNotFiscalized = 60;
inline constexpr int kZDue = 61;
inline constexpr int kCutter = 67;
inline constexpr int kExportOpen = 87;
inline constexpr int kWait = 97;
inline constexpr int kExtended = 99;
}  // namespace ecr_error

// Extended codes behind error 99, answered by "1015".
namespace extended_error {
inline constexpr int kNone = 0;
inline constexpr int kCashShort = 136;
inline constexpr int kBadPayment = 137;
inline constexpr int kOverpaid = 141;
}  // namespace extended_error

}  // namespace xruvo_sim
