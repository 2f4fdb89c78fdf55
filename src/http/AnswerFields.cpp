#include "http/AnswerFields.h"

#include "platform/Text1250.h"

namespace ruvo::http {

nlohmann::json AnswerJson(const ReceiptAnswer& answer) {
  nlohmann::json utf8Lines = nlohmann::json::array();
  for (const std::string& line : answer.lines) utf8Lines.push_back(Utf8From1250(line));
  nlohmann::json warnings = nlohmann::json::array();
  for (const std::string& warning : answer.warnings) warnings.push_back(Utf8From1250(warning));
  nlohmann::json json = {{"ok", answer.Ok()},
                         {"code", answer.code ? nlohmann::json(*answer.code) : nlohmann::json()},
                         {"lines", utf8Lines},
                         {"warnings", warnings}};
  if (!answer.Ok()) json["message"] = Utf8From1250(answer.message);
  if (!answer.fiscalNumber.empty()) {
    json["receipt"] = {{"kind", "fiscal"}, {"number", Utf8From1250(answer.fiscalNumber)}};
  } else if (!answer.nonFiscalNumber.empty()) {
    json["receipt"] = {{"kind", "nefiscal"}, {"number", Utf8From1250(answer.nonFiscalNumber)}};
  }
  return json;
}

int AnswerStatus(const ReceiptAnswer& answer) {
  int status = 502;
  if (answer.outcome == AnswerOutcome::Done) status = 200;
  if (answer.outcome == AnswerOutcome::Refused) status = 422;
  return status;
}

}  // namespace ruvo::http
