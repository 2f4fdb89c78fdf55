#include "http/KeyRecord.h"

#include <algorithm>

#include "platform/IntegerText.h"
#include "platform/Sha256.h"

namespace ruvo::http {

namespace {

const std::string kHeader = "RUVOHTTP 2\n";
const std::string kHeaderVersion1 = "RUVOHTTP 1\n";
const std::string kEnd = "end\n";
constexpr std::size_t kCheckLength = 16;

bool KeyCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.' || c == '~' || c == ':';
}

std::optional<std::int64_t> ParseWhole(const std::string& text) {
  // No sign: a size or a time in a record is never negative.
  if (text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return ParseInt64(text);
}

// Reads records field by field from the front of the bytes.
class Reader {
 public:
  explicit Reader(const std::string& bytes) : bytes_(bytes) {}

  // The value of the next line "name value"; nullopt when the next line is not that.
  std::optional<std::string> Field(const std::string& name) {
    const std::size_t end = bytes_.find('\n', at_);
    if (end == std::string::npos) return std::nullopt;
    const std::string line = bytes_.substr(at_, end - at_);
    if (line.rfind(name + " ", 0) != 0) return std::nullopt;
    at_ = end + 1;
    return line.substr(name.size() + 1);
  }
  bool NextIs(const std::string& name) const {
    return bytes_.compare(at_, name.size() + 1, name + " ") == 0;
  }
  // A counted block: "name <n>\n", n bytes, "\n".
  std::optional<std::string> Block(const std::string& name) {
    const std::optional<std::string> count = Field(name);
    if (!count) return std::nullopt;
    const std::optional<std::int64_t> size = ParseWhole(*count);
    if (!size || static_cast<std::uint64_t>(*size) > bytes_.size() - at_) return std::nullopt;
    const auto length = static_cast<std::size_t>(*size);
    if (at_ + length >= bytes_.size() || bytes_[at_ + length] != '\n') return std::nullopt;
    std::string block = bytes_.substr(at_, length);
    at_ += length + 1;
    return block;
  }
  // Whether only the end line is left.
  bool AtEnd(const std::string& end) const {
    return bytes_.size() - at_ == end.size() && bytes_.compare(at_, end.size(), end) == 0;
  }

 private:
  const std::string& bytes_;
  std::size_t at_ = kHeader.size();
};

}  // namespace

bool ValidKey(const std::string& key) {
  return !key.empty() && key.size() <= kMaxKeyLength &&
         std::all_of(key.begin(), key.end(), KeyCharacter);
}

std::string KeyId(const std::string& key) { return Sha256Hex(key).substr(0, 32); }

std::string ChannelOf(const std::string& key) { return "_H" + KeyId(key); }

std::string EncodeRecord(const KeyRecord& record) {
  std::string bytes = kHeader;
  bytes += "key " + record.key + "\n";
  bytes += "body " + record.bodyHash + "\n";
  bytes += "created " + std::to_string(record.createdS) + "\n";
  bytes += "receipt " + std::to_string(record.receipt.size()) + "\n" + record.receipt + "\n";
  if (record.answer) {
    bytes += "answered " + std::to_string(record.answeredS) + "\n";
    if (record.answeredRunS >= 0) bytes += "ran " + std::to_string(record.answeredRunS) + "\n";
    bytes += "answer " + std::to_string(record.answer->size()) + "\n" + *record.answer + "\n";
  }
  // A record cut after its receipt would read as one never answered, and its receipt
  // would go out again: only a record with its end counts, and its check tells a byte
  // changed anywhere before it.
  bytes += "check " + Sha256Hex(bytes).substr(0, kCheckLength) + "\n";
  bytes += kEnd;
  return bytes;
}

std::optional<KeyRecord> DecodeRecord(const std::string& bytes) {
  const bool version1 = bytes.rfind(kHeaderVersion1, 0) == 0;
  if (!version1 && bytes.rfind(kHeader, 0) != 0) return std::nullopt;
  Reader reader(bytes);
  KeyRecord record;
  const std::optional<std::string> key = reader.Field("key");
  const std::optional<std::string> body = reader.Field("body");
  const std::optional<std::string> created = reader.Field("created");
  if (!key || !ValidKey(*key) || !body || body->size() != 64 || !created) return std::nullopt;
  const std::optional<std::int64_t> createdS = ParseWhole(*created);
  const std::optional<std::string> receipt = reader.Block("receipt");
  if (!createdS || !receipt) return std::nullopt;
  record.key = *key;
  record.bodyHash = *body;
  record.createdS = *createdS;
  record.receipt = *receipt;
  if (reader.NextIs("answered")) {
    const std::optional<std::string> answered = reader.Field("answered");
    const std::optional<std::int64_t> answeredS = answered ? ParseWhole(*answered) : std::nullopt;
    if (reader.NextIs("ran")) {
      const std::optional<std::string> ran = reader.Field("ran");
      const std::optional<std::int64_t> ranS = ran ? ParseWhole(*ran) : std::nullopt;
      if (!ranS) return std::nullopt;
      record.answeredRunS = *ranS;
    }
    const std::optional<std::string> answer = reader.Block("answer");
    if (!answeredS || !answer) return std::nullopt;
    record.answeredS = *answeredS;
    record.answer = *answer;
  }
  if (!version1) {
    const std::size_t checkAt =
        bytes.size() - std::min(bytes.size(), kEnd.size() + kCheckLength + 7);
    const std::string expected =
        "check " + Sha256Hex(std::string_view(bytes).substr(0, checkAt)).substr(0, kCheckLength) +
        "\n" + kEnd;
    if (!reader.AtEnd(expected)) return std::nullopt;
    return record;
  }
  if (!reader.AtEnd(kEnd)) return std::nullopt;
  return record;
}

}  // namespace ruvo::http
