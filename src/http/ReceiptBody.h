#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ruvo::http {

// A receipt sent over HTTP: the command lines of a receipt file, as UTF-8 text/plain (one
// line a line) or as JSON {"lines": ["...", ...]}, converted to the Windows-1250 bytes a
// receipt file holds.
struct ReceiptBody {
  std::vector<std::string> lines;  // Windows-1250
  // The receipt file's bytes: every line followed by CR LF. Two requests are the same
  // receipt when these are the same, however they were sent.
  std::string FileBytes() const;
};

// Why a body was not taken: an HTTP status (400, 415, 422), a problem slug, a title and a
// detail in plain words.
struct BodyRefusal {
  int status = 422;
  std::string slug;
  std::string title;
  std::string detail;
};

struct BodyParse {
  std::optional<ReceiptBody> body;
  BodyRefusal refusal;  // when no body
};

BodyParse ParseReceiptBody(const std::string& contentType, const std::string& body);

// The UTF-8 lines in Windows-1250, or the refusal naming the first character (its code
// point, the character and its line) the code page lacks, or the first byte that is not
// UTF-8. Nothing is replaced: a receipt is never printed with another text than was sent.
BodyParse ConvertLines(const std::vector<std::string>& utf8Lines);

// The media type of a Content-Type value without its parameters, lower case.
std::string MediaType(const std::string& contentType);

}  // namespace ruvo::http
