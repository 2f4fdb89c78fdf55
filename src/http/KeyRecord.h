#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ruvo::http {

// An Idempotency-Key: 1 to 128 of the characters A-Z a-z 0-9 "-" "_" "." "~" ":" (a UUID,
// a till's own numbering). It travels in a URL path as it is.
bool ValidKey(const std::string& key);
inline constexpr std::size_t kMaxKeyLength = 128;

// The key's fixed-length name: 32 hex digits of its SHA-256. Names the record's file and
// the receipt file's channel, whatever the key holds.
std::string KeyId(const std::string& key);

// The receipt file channel of a key: "_H" and its id. Its receipt file is
// "ONLINE_H<id>.TXT", its answer "ERROR_H<id>.TXT".
std::string ChannelOf(const std::string& key);

// What the driver keeps of one key: the receipt sent with it, and its answer once there
// is one. Written whole and atomically, one file per key, before the receipt goes to the
// working folder; the answer is written into it before its receipt file is taken away.
struct KeyRecord {
  std::string key;
  std::string bodyHash;               // SHA-256 hex of the receipt file's bytes
  std::int64_t createdS = 0;          // seconds since the epoch
  std::string receipt;                // the receipt file's bytes (Windows-1250, CR LF)
  std::optional<std::string> answer;  // its owner's encoding of the answer
  std::int64_t answeredS = 0;
  // The driver's running time (HttpReceipts) when the answer came; -1 when a record of an
  // older driver did not say.
  std::int64_t answeredRunS = -1;

  bool Answered() const { return answer.has_value(); }
};

// The record as its file holds it: a header line, "name value" lines, the receipt and
// answer as counted blocks of bytes (so that no byte of them needs escaping), an end line.
std::string EncodeRecord(const KeyRecord& record);
// nullopt for anything that is not a whole record (a file of another program, a cut one).
std::optional<KeyRecord> DecodeRecord(const std::string& bytes);

}  // namespace ruvo::http
