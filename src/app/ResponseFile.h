#pragma once

#include <string>
#include <vector>

#include "app/DriverState.h"
#include "app/Operator.h"

namespace ruvo {

// The answer every success is written with; anything else is an error text.
inline const std::string kResponseOk = "0 OK";

// "ERROR" + suffix + ".TXT": the response file of the receipt file with that suffix.
std::string ResponseFileName(const std::string& suffix);

// The lines of the response file for text, in their fixed order, from the per-file
// response items, the warning flags and the free JE lines of state. Pure: the caller
// clears the pending-receipt state once it has been written.
std::vector<std::string> BuildResponseLines(const std::string& text, const DriverState& state);

// The one writer of the response file, handed to the validation and the executors.
class IResponseWriter {
 public:
  virtual ~IResponseWriter() = default;
  // May be called several times for one file; the last call wins.
  virtual void WriteResponse(const std::string& text) = 0;
};

class ResponseWriter final : public IResponseWriter {
 public:
  // extraWarnings: lines the cycle adds to the warning box beside the ECR's flags.
  ResponseWriter(DriverState& state, IOperator& op, const std::vector<std::string>& extraWarnings);

  void WriteResponse(const std::string& text) override;

  // Forgets what was written for the previous file. With hold, the responses of this
  // file are kept, not saved, until SaveHeld: a run's answer is final only at its end, and
  // it must be known (to the journal) before the sales application can read it.
  void BeginFile(bool hold = false);
  // True once a response was written for the current file.
  bool Written() const { return written_; }
  // False when the last response could not be saved.
  bool LastSaveSucceeded() const { return lastSaveOk_; }
  // The lines of the current file's last response.
  const std::vector<std::string>& Lines() const { return lines_; }

  // Saves the held response; true once it is saved.
  bool SaveHeld();
  // Saves lines as the current file's response (and its history copy); true once saved.
  bool Save(const std::vector<std::string>& lines);

 private:
  DriverState& state_;
  IOperator& op_;
  const std::vector<std::string>& extraWarnings_;
  bool written_ = false;
  bool lastSaveOk_ = true;
  bool hold_ = false;
  std::vector<std::string> lines_;
};

}  // namespace ruvo
