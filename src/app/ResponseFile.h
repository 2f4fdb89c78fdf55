#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/DriverState.h"
#include "app/FileRun.h"
#include "app/Operator.h"
#include "app/ReceiptAnswer.h"

namespace ruvo {

// The answer every success is written with; anything else is an error text.
inline const std::string kResponseOk = "0 OK";

// "ERROR" + suffix + ".TXT": the response file of the receipt file with that suffix.
std::string ResponseFileName(const std::string& suffix);

// The answer for text: its response file's lines in their fixed order, from the file's
// response items, and the fiscal series, the warning flags and the free JE lines of state,
// with the same facts as fields. outcome tells a refusal from a failure; any text but
// "0 OK" is one of them. Pure: the caller clears the pending-receipt state once it has been
// written.
ReceiptAnswer BuildAnswer(const std::string& text, AnswerOutcome outcome, const FileRun& file,
                          const DriverState& state);
// Only the lines of a failure's (or "0 OK"'s) answer.
std::vector<std::string> BuildResponseLines(const std::string& text, const FileRun& file,
                                            const DriverState& state);

// The one writer of the response file, handed to the validation and the executors.
class IResponseWriter {
 public:
  virtual ~IResponseWriter() = default;
  // May be called several times for one file; the last call wins.
  virtual void WriteResponse(const std::string& text) = 0;
  // As WriteResponse, for a file refused before anything of it reached the ECR's paper.
  virtual void Refuse(const std::string& text) { WriteResponse(text); }
};

// The response writer of one receipt file, made with the file's FileRun and dropped with it.
class ResponseWriter final : public IResponseWriter {
 public:
  // extraWarnings: lines the cycle adds to the warning box beside the ECR's flags. With
  // hold, the responses are kept, not saved, until SaveHeld: a run's answer is final only
  // at its end, and it must be known (to the journal) before the sales application can
  // read it.
  ResponseWriter(DriverState& state, IOperator& op, const std::vector<std::string>& extraWarnings,
                 FileRun& file, bool hold = false);

  void WriteResponse(const std::string& text) override;
  void Refuse(const std::string& text) override;

  // True once a response was written for the file.
  bool Written() const { return written_; }
  // False when the last response could not be saved.
  bool LastSaveSucceeded() const { return lastSaveOk_; }
  // The file's last answer, and its lines.
  const ReceiptAnswer& Answer() const { return answer_; }
  const std::vector<std::string>& Lines() const { return answer_.lines; }

  // Saves the held response; true once it is saved.
  bool SaveHeld();
  // With hold, the error box of "DialogMesajEroare" waits for the answer to be saved: the
  // sales application must not wait on the operator. The last error answer's text, to be
  // shown by the caller once the answer is out; nothing for "0 OK".
  std::optional<std::string> TakeDeferredDialog();
  // Saves lines as the file's response (and its history copy); true once saved.
  bool Save(const std::vector<std::string>& lines);

 private:
  void Put(const std::string& text, AnswerOutcome outcome);

  DriverState& state_;
  IOperator& op_;
  const std::vector<std::string>& extraWarnings_;
  FileRun& file_;
  bool hold_;
  bool written_ = false;
  bool lastSaveOk_ = true;
  ReceiptAnswer answer_;
  std::optional<std::string> deferredDialog_;
};

// The error box of "DialogMesajEroare" for text.
void ShowErrorDialog(IOperator& op, const std::string& text);

}  // namespace ruvo
