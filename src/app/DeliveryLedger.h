#pragma once

#include <string>
#include <vector>

#include "app/InFlightJournal.h"
#include "app/ReceiptDelivery.h"

namespace ruvo {

// The rules of the delivery ledger that stand apart from the receipt file cycle's steps:
// which entries of the working folder a run holds in flight, when a file is still the
// delivery a record stands for, and which deliveries this process holds itself. The cycle
// (ReceiptCycle*.cpp) applies them; the journal (InFlightJournal) keeps what they read.

// True when the file under the record's name holds the bytes of the record's run, which
// reached the ECR and was never answered: the same delivery, also when its pin was lost
// (deleted, or the folder copied without its links).
bool HoldsUnansweredRun(const std::string& folder, const InFlightRecord& record);

// The names of the working folder a clean-up must leave: the files of the records, of
// the files remembered as run, and of the answers owed (owed), with their response files.
std::vector<std::string> NamesInFlight(const std::vector<InFlightRecord>& records,
                                       const std::vector<ExecutedFile>& executed,
                                       const std::vector<std::string>& owed);

// The deliveries this process claimed or found under their names: their pins are its own.
// A record from before the start may have lost its pin, or carry a copy of it.
class LiveDeliveries {
 public:
  void Mark(const std::string& token);
  bool Has(const DeliveryId& delivery) const;
  void Forget(const std::string& token);

 private:
  std::vector<std::string> tokens_;
};

}  // namespace ruvo
