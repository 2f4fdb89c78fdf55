#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/CurrentFile.h"
#include "app/DeliveryLedger.h"
#include "app/DriverState.h"
#include "app/Operator.h"
#include "app/ReceiptExecution.h"
#include "app/ReceiptFileReader.h"
#include "platform/Clock.h"

namespace ruvo {

// The answer of a receipt file that cannot be read, followed by its name.
inline const std::string kCannotOpenPrefix = "Nu pot deschide fisierului ";

// One receipt file's way from its bytes to its answer: read (waiting for a file still
// being written), legacy lines converted, history copy, validation, then the ECR through
// IReceiptExecution, every answer written through the file's response writer. Before
// anything of the file reaches the ECR the ledger records the run; where it says no, the
// file waits unanswered.
class ReceiptPipeline {
 public:
  static constexpr std::int64_t kReadRetryMs = 5000;
  static constexpr std::int64_t kReadRetryPauseMs = 100;

  ReceiptPipeline(DriverState& state, IOperator& op, IClock& clock, IReceiptExecution& execution,
                  DeliveryLedger& ledger);

  ReceiptPipeline(const ReceiptPipeline&) = delete;
  ReceiptPipeline& operator=(const ReceiptPipeline&) = delete;

  // Runs the file (name without folder) taken up as file; fills log. foundWhole: the
  // pickup has just found no writer of the file. May throw; the cycle catches.
  void Run(const std::string& name, CurrentFile& file, bool foundWhole,
           std::vector<std::string>& log);

 private:
  // writersSought: the pickup has just found no writer of the file (only the first try
  // relies on it).
  std::optional<ReceiptFileContent> ReadWithRetry(const std::string& path, bool writersSought);

  DriverState& state_;
  IOperator& op_;
  IClock& clock_;
  IReceiptExecution& execution_;
  DeliveryLedger& ledger_;
};

}  // namespace ruvo
