#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/DriverState.h"
#include "app/FileRun.h"
#include "app/Operator.h"

namespace ruvo {

// The answer every success is written with; anything else is an error text.
inline const std::string kResponseOk = "0 OK";

// "ERROR" + suffix + ".TXT": the response file of the receipt file with that suffix.
std::string ResponseFileName(const std::string& suffix);

// The lines of the response file for text, in their fixed order, from the file's response
// items, and the fiscal series, the warning flags and the free JE lines of state. Pure:
// the caller clears the pending-receipt state once it has been written.
std::vector<std::string> BuildResponseLines(const std::string& text, const FileRun& file,
                                            const DriverState& state);

// The one writer of the response file, handed to the validation and the executors.
class IResponseWriter {
 public:
  virtual ~IResponseWriter() = default;
  // May be called several times for one file; the last call wins.
  virtual void WriteResponse(const std::string& text) = 0;
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

  // True once a response was written for the file.
  bool Written() const { return written_; }
  // False when the last response could not be saved.
  bool LastSaveSucceeded() const { return lastSaveOk_; }
  // The lines of the file's last response.
  const std::vector<std::string>& Lines() const { return lines_; }

  // Saves the held response; true once it is saved.
  bool SaveHeld();
  // With hold, the error box of "DialogMesajEroare" waits for the answer to be saved: the
  // sales application must not wait on the operator. The last error answer's text, to be
  // shown by the caller once the answer is out; nothing for "0 OK".
  std::optional<std::string> TakeDeferredDialog();
  // Saves lines as the file's response (and its history copy); true once saved.
  bool Save(const std::vector<std::string>& lines);

 private:
  DriverState& state_;
  IOperator& op_;
  const std::vector<std::string>& extraWarnings_;
  FileRun& file_;
  bool hold_;
  bool written_ = false;
  bool lastSaveOk_ = true;
  std::vector<std::string> lines_;
  std::optional<std::string> deferredDialog_;
};

// The error box of "DialogMesajEroare" for text.
void ShowErrorDialog(IOperator& op, const std::string& text);

}  // namespace ruvo
