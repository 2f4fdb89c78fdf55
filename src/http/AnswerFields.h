#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace ruvo::http {

// What an HTTP client wants to know of a response file's lines without parsing them: did
// it fail, the driver's or the ECR's code and text, the receipt closed and its number,
// the warnings about paper and journal.
struct AnswerFields {
  bool ok = false;
  std::optional<int> code;    // 0 for "0 OK", the code before ";" of an error
  std::string message;        // the error's text after "<code>;", or the whole line
  std::string receiptKind;    // "fiscal", "nefiscal" or ""
  std::string receiptNumber;  // as the ECR gave it ("0001")
  std::vector<std::string> warnings;
};

// lines: the response file's lines (Windows-1250, without line ends).
AnswerFields ParseAnswer(const std::vector<std::string>& lines);

// The answer as the JSON of an HTTP answer: the lines exactly as the response file holds
// them (in UTF-8) and the fields above; texts converted to UTF-8.
nlohmann::json AnswerJson(const std::vector<std::string>& lines);

}  // namespace ruvo::http
