#pragma once

#include <string>

#include "app/ReceiptAnswer.h"

namespace ruvo {

// Keeps the answers of receipt files that another channel (the HTTP server) owes its
// client. Told of every answer after its response file is saved and before its receipt
// file is taken out of its name, so that a crash in between finds the answer again.
class IAnswerKeeper {
 public:
  virtual ~IAnswerKeeper() = default;
  // suffix: the receipt file's (what follows "ONLINE"). True once the answer is kept, or
  // when it is none of the keeper's; false, with failedPath naming what could not be
  // written, leaves the file waiting with its answer, offered again later.
  virtual bool Keep(const std::string& suffix, const ReceiptAnswer& answer,
                    std::string& failedPath) = 0;
};

}  // namespace ruvo
