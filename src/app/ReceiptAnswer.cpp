#include "app/ReceiptAnswer.h"

#include "platform/HexText.h"
#include "platform/IntegerText.h"

namespace ruvo {

namespace {

const std::string kOkLine = "0 OK";
const std::string kFailedLine = "1 ERROR";

const char* OutcomeName(AnswerOutcome outcome) {
  switch (outcome) {
    case AnswerOutcome::Done:
      return "done";
    case AnswerOutcome::Refused:
      return "refused";
    case AnswerOutcome::Failed:
      return "failed";
  }
  return "failed";
}

std::optional<AnswerOutcome> OutcomeNamed(const std::string& name) {
  for (const AnswerOutcome outcome :
       {AnswerOutcome::Done, AnswerOutcome::Refused, AnswerOutcome::Failed}) {
    if (name == OutcomeName(outcome)) return outcome;
  }
  return std::nullopt;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

}  // namespace

void SplitCode(const std::string& text, std::optional<int>& code, std::string& message) {
  const std::size_t semicolon = text.find(';');
  const std::string head = text.substr(0, semicolon);
  const bool digits = semicolon != std::string::npos && !head.empty() &&
                      head.find_first_not_of("0123456789") == std::string::npos;
  // A number too large for a code is no code: the text is all message then.
  const std::optional<std::int32_t> number = digits ? ParseInt32(head) : std::nullopt;
  message = number ? text.substr(semicolon + 1) : text;
  // Nor is 0 a code: only "0 OK" is success.
  code = number == 0 ? std::nullopt : number;
}

std::string EncodeAnswer(const ReceiptAnswer& answer) {
  std::string text = std::string("outcome ") + OutcomeName(answer.outcome) + "\n";
  text += "code " + (answer.code ? std::to_string(*answer.code) : std::string("-")) + "\n";
  text += "message " + ToHex(answer.message) + "\n";
  text += "fiscal " + ToHex(answer.fiscalNumber) + "\n";
  text += "nonfiscal " + ToHex(answer.nonFiscalNumber) + "\n";
  for (const std::string& warning : answer.warnings) text += "warning " + ToHex(warning) + "\n";
  for (const std::string& line : answer.lines) text += "line " + ToHex(line) + "\n";
  return text + "end\n";
}

std::optional<ReceiptAnswer> DecodeAnswer(const std::string& text) {
  ReceiptAnswer answer;
  // The fields that must come once, in this order, before the repeated ones.
  const char* const fixed[] = {"outcome", "code", "message", "fiscal", "nonfiscal"};
  std::size_t at = 0;
  std::size_t index = 0;
  bool ended = false;
  while (at < text.size() && !ended) {
    const std::size_t end = text.find('\n', at);
    if (end == std::string::npos) return std::nullopt;  // cut short
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    if (line == "end") {
      ended = true;
      continue;
    }
    const std::size_t space = line.find(' ');
    if (space == std::string::npos) return std::nullopt;
    const std::string name = line.substr(0, space);
    const std::string value = line.substr(space + 1);
    if (index < std::size(fixed)) {
      if (name != fixed[index]) return std::nullopt;
    } else if (name != "warning" && name != "line") {
      return std::nullopt;
    }
    if (name == "outcome") {
      const std::optional<AnswerOutcome> outcome = OutcomeNamed(value);
      if (!outcome) return std::nullopt;
      answer.outcome = *outcome;
    } else if (name == "code") {
      if (value != "-") {
        const bool digits =
            !value.empty() && value.find_first_not_of("0123456789") == std::string::npos;
        answer.code = digits ? ParseInt32(value) : std::nullopt;
        if (!answer.code) return std::nullopt;
      }
    } else {
      std::optional<std::string> bytes = FromHex(value);
      if (!bytes) return std::nullopt;
      if (name == "message") answer.message = std::move(*bytes);
      if (name == "fiscal") answer.fiscalNumber = std::move(*bytes);
      if (name == "nonfiscal") answer.nonFiscalNumber = std::move(*bytes);
      if (name == "warning") answer.warnings.push_back(std::move(*bytes));
      if (name == "line") {
        // A line that came to hold a line end would no longer be one line of the file.
        if (bytes->find_first_of("\r\n") != std::string::npos) return std::nullopt;
        answer.lines.push_back(std::move(*bytes));
      }
    }
    ++index;
  }
  // Cut short anywhere (the end line is what says it is whole), or anything after it.
  if (!ended || at != text.size()) return std::nullopt;
  if (index < std::size(fixed) || answer.lines.empty()) return std::nullopt;
  if ((answer.outcome == AnswerOutcome::Done) != (answer.code == 0)) return std::nullopt;
  return answer;
}

ReceiptAnswer AnswerOfLines(const std::vector<std::string>& lines) {
  ReceiptAnswer answer;
  answer.lines = lines;
  std::size_t next = 0;
  if (!lines.empty() && lines[0] == kOkLine) {
    answer.outcome = AnswerOutcome::Done;
    answer.code = 0;
    next = 1;
  } else if (!lines.empty()) {
    next = lines[0] == kFailedLine ? 1 : 0;
    if (next < lines.size()) SplitCode(lines[next++], answer.code, answer.message);
  }
  for (std::size_t i = next; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (StartsWith(line, kFiscalNumberPrefix)) {
      answer.fiscalNumber = line.substr(kFiscalNumberPrefix.size());
    } else if (StartsWith(line, kNonFiscalNumberPrefix)) {
      answer.nonFiscalNumber = line.substr(kNonFiscalNumberPrefix.size());
    } else if (StartsWith(line, kWarningPrefix)) {
      answer.warnings.push_back(line.substr(kWarningPrefix.size()));
    } else if (StartsWith(line, kJeFreeLinesPrefix)) {
      answer.warnings.push_back(line);
    }
  }
  return answer;
}

}  // namespace ruvo
