#include "http/AnswerFields.h"

#include "platform/IntegerText.h"
#include "platform/Text1250.h"

namespace ruvo::http {

namespace {

const std::string kFailedLine = "1 ERROR";
const std::string kOkLine = "0 OK";
const std::string kFiscalPrefix = "BON FISCAL NR. ";
const std::string kNonFiscalPrefix = "BON NEFISCAL NR. ";
const std::string kWarningPrefix = "8024;";
const std::string kJournalLinesPrefix = "NUMARUL DE LINII LIBERE IN JE";

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

// "8007;Comada ..." as code and text; a line without a numeric code is all text.
void ReadError(const std::string& line, AnswerFields& fields) {
  const std::size_t semicolon = line.find(';');
  const std::string head = line.substr(0, semicolon);
  const bool digits =
      semicolon != std::string::npos && head.find_first_not_of("0123456789") == std::string::npos;
  // A number too large for a code is no code: the line is all text then.
  const std::optional<std::int32_t> code = digits ? ParseInt32(head) : std::nullopt;
  if (code) {
    fields.code = *code;
    fields.message = line.substr(semicolon + 1);
  } else {
    fields.message = line;
  }
}

}  // namespace

AnswerFields ParseAnswer(const std::vector<std::string>& lines) {
  AnswerFields fields;
  std::size_t next = 0;
  const bool failed = !lines.empty() && lines[0] == kFailedLine;
  if (failed) {
    next = 1;
    if (next < lines.size()) ReadError(lines[next++], fields);
  } else if (!lines.empty() && lines[0] == kOkLine) {
    fields.ok = true;
    fields.code = 0;
    next = 1;
  } else if (!lines.empty()) {
    // The answers without a code ("NU POT COMUNICA ..." and the messages of some
    // commands) are failures unless a receipt was closed after all.
    ReadError(lines[0], fields);
    next = 1;
  }
  for (std::size_t i = next; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (StartsWith(line, kFiscalPrefix)) {
      fields.receiptKind = "fiscal";
      fields.receiptNumber = line.substr(kFiscalPrefix.size());
    } else if (StartsWith(line, kNonFiscalPrefix)) {
      fields.receiptKind = "nefiscal";
      fields.receiptNumber = line.substr(kNonFiscalPrefix.size());
    } else if (StartsWith(line, kWarningPrefix)) {
      fields.warnings.push_back(line.substr(kWarningPrefix.size()));
    } else if (StartsWith(line, kJournalLinesPrefix)) {
      fields.warnings.push_back(line);
    }
  }
  return fields;
}

nlohmann::json AnswerJson(const std::vector<std::string>& lines) {
  const AnswerFields fields = ParseAnswer(lines);
  nlohmann::json utf8Lines = nlohmann::json::array();
  for (const std::string& line : lines) utf8Lines.push_back(Utf8From1250(line));
  nlohmann::json warnings = nlohmann::json::array();
  for (const std::string& warning : fields.warnings) warnings.push_back(Utf8From1250(warning));
  nlohmann::json answer = {{"ok", fields.ok},
                           {"code", fields.code ? nlohmann::json(*fields.code) : nlohmann::json()},
                           {"lines", utf8Lines},
                           {"warnings", warnings}};
  if (!fields.ok) answer["message"] = Utf8From1250(fields.message);
  if (!fields.receiptKind.empty()) {
    answer["receipt"] = {{"kind", fields.receiptKind},
                         {"number", Utf8From1250(fields.receiptNumber)}};
  }
  return answer;
}

}  // namespace ruvo::http
