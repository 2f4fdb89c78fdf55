#include "console/ControlProtocol.h"

#include <algorithm>

#include "console/DialogInput.h"

namespace ruvo {

namespace {

const std::string kMagic = "RUVOCTL 1 ";
// The longest header a request may have: the magic and a count of two digits.
constexpr std::size_t kMaxHeaderBytes = 16;

// The lines of text (each ended by "\n") from at on; the text after the last "\n" is
// left in rest.
std::vector<std::string> LinesFrom(std::string_view text, std::size_t at, std::string_view& rest) {
  std::vector<std::string> lines;
  while (true) {
    const std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) break;
    lines.emplace_back(text.substr(at, end - at));
    at = end + 1;
  }
  rest = text.substr(at);
  return lines;
}

RequestParse Malformed(std::string error) {
  RequestParse parse;
  parse.status = RequestStatus::Malformed;
  parse.error = std::move(error);
  return parse;
}

// Appends text as one or more lines: "\r\n", "\r" and "\n" each end a line.
void AppendLines(std::vector<std::string>& lines, const std::string& text) {
  std::string line;
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (text[k] == '\r' || text[k] == '\n') {
      lines.push_back(line);
      line.clear();
      if (text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n') ++k;
    } else {
      line.push_back(text[k]);
    }
  }
  lines.push_back(line);
}

}  // namespace

ControlAnswer Succeeded(std::vector<std::string> lines) { return {true, std::move(lines)}; }

ControlAnswer Failed(std::vector<std::string> lines) { return {false, std::move(lines)}; }

std::string EncodeRequest(const std::vector<std::string>& arguments) {
  std::string request = kMagic + std::to_string(arguments.size()) + "\n";
  for (const std::string& argument : arguments) request += argument + "\n";
  return request;
}

RequestParse ParseRequest(std::string_view received) {
  const std::size_t headerEnd = received.find('\n');
  const std::string_view header = received.substr(0, headerEnd);
  const std::size_t common = std::min(header.size(), kMagic.size());
  if (header.substr(0, common) != std::string_view(kMagic).substr(0, common) ||
      header.size() > kMaxHeaderBytes) {
    return Malformed("not a control request");
  }
  if (headerEnd == std::string_view::npos) return {};
  // A header cut short before its count ("RUVOCTL\n") has no count to read.
  if (header.size() <= kMagic.size()) return Malformed("bad argument count in the request");
  const std::optional<int> count = DigitsValue(std::string(header.substr(kMagic.size())));
  if (!count || *count < 1 || static_cast<std::size_t>(*count) > kMaxRequestArguments) {
    return Malformed("bad argument count in the request");
  }
  std::string_view rest;
  std::vector<std::string> lines = LinesFrom(received, headerEnd + 1, rest);
  const auto wanted = static_cast<std::size_t>(*count);
  if (lines.size() < wanted) return {};
  if (lines.size() > wanted || !rest.empty()) return Malformed("bytes after the request");
  for (const std::string& line : lines) {
    if (line.find('\0') != std::string::npos) return Malformed("a NUL byte in the request");
  }
  RequestParse parse;
  parse.status = RequestStatus::Complete;
  parse.arguments = std::move(lines);
  return parse;
}

std::string EncodeAnswer(const ControlAnswer& answer) {
  std::vector<std::string> lines;
  for (const std::string& text : answer.lines) AppendLines(lines, text);
  if (answer.replayed) lines.push_back(kReplayedLine + answer.replayKey);
  std::string encoded =
      kMagic + (answer.ok ? "OK " : "FAIL ") + std::to_string(lines.size()) + "\n";
  for (const std::string& line : lines) encoded += line + "\n";
  return encoded;
}

std::optional<ControlAnswer> ParseAnswer(std::string_view received) {
  const std::size_t headerEnd = received.find('\n');
  if (headerEnd == std::string_view::npos || received.substr(0, kMagic.size()) != kMagic) {
    return std::nullopt;
  }
  std::string_view header = received.substr(kMagic.size(), headerEnd - kMagic.size());
  ControlAnswer answer;
  if (header.substr(0, 3) == "OK ") {
    answer.ok = true;
    header.remove_prefix(3);
  } else if (header.substr(0, 5) == "FAIL ") {
    header.remove_prefix(5);
  } else {
    return std::nullopt;
  }
  const std::optional<int> count = DigitsValue(std::string(header));
  if (!count) return std::nullopt;
  std::string_view rest;
  answer.lines = LinesFrom(received, headerEnd + 1, rest);
  if (answer.lines.size() != static_cast<std::size_t>(*count) || !rest.empty()) return std::nullopt;
  return answer;
}

}  // namespace ruvo
