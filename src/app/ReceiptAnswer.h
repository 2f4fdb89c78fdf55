#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ruvo {

// The lines of a response file that tell the receipt and the warnings.
inline const std::string kFiscalNumberPrefix = "BON FISCAL NR. ";
inline const std::string kNonFiscalNumberPrefix = "BON NEFISCAL NR. ";
inline const std::string kWarningPrefix = "8024;";
inline const std::string kJeFreeLinesPrefix = "NUMARUL DE LINII LIBERE IN JE";

// How a receipt file ended, as the HTTP answer tells it apart.
enum class AnswerOutcome {
  Done,     // "0 OK"
  Refused,  // refused before anything of the file reached the ECR's paper: the file's
            // content, or a receipt the ECR already had open
  Failed,   // the ECR or the driver could not do it (also when part of it was done)
};

// What a receipt file was answered, in one structure that both the response file and the
// HTTP answer are rendered from. Made when the run writes its response; kept by the
// journal while the answer waits to be saved, and by the HTTP key's record.
struct ReceiptAnswer {
  AnswerOutcome outcome = AnswerOutcome::Failed;
  std::optional<int> code;            // 0 for "0 OK"; the number before ";" of an error
  std::string message;                // the error's text after "<code>;", or all of it
  std::string fiscalNumber;           // "BON FISCAL NR. " of the receipt closed
  std::string nonFiscalNumber;        // "BON NEFISCAL NR. "
  std::vector<std::string> warnings;  // paper, electronic journal
  std::vector<std::string> lines;     // the response file's lines, in their order

  bool Ok() const { return outcome == AnswerOutcome::Done; }
  bool operator==(const ReceiptAnswer&) const = default;
};

// The code and message of a first line: "8007;Comanda ..." is 8007 and the rest; a text
// without a numeric code is all message; "0;..." has no code, since only "0 OK" is success.
void SplitCode(const std::string& text, std::optional<int>& code, std::string& message);

// The answer's own durable form: one "name value" line per field, values in hex so that no
// byte of a text can break it, and an end line. DecodeAnswer is nullopt for anything else.
std::string EncodeAnswer(const ReceiptAnswer& answer);
std::optional<ReceiptAnswer> DecodeAnswer(const std::string& text);

// An answer known only by its response file's lines: one saved by an older driver, or
// while the HTTP server was off. The receipt's number and the warnings are not told.
ReceiptAnswer AnswerOfLines(const std::vector<std::string>& lines);

}  // namespace ruvo
