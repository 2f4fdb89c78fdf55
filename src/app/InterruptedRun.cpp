#include "app/InterruptedRun.h"

#include "app/InFlightJournal.h"
#include "platform/Files.h"

namespace ruvo {

std::optional<std::string> UnsettledInterruptedFile(const std::string& workingFolder) {
  InFlightJournal journal(workingFolder);
  // A damaged journal may hide any such file: nothing may mislead its check.
  if (journal.Damaged()) return InFlightJournal::kFileName;
  for (const InFlightRecord& record : journal.Records()) {
    // A run that never got past the state check sent nothing of its file, one whose answer
    // is known only waits for the folder to take it, and a record whose file is gone is
    // dropped by the next tick: none of them waits for the ECR's word.
    if (record.phase == RunPhase::Preparing || record.phase == RunPhase::Answered) continue;
    if (FileExists(JoinPath(workingFolder, record.name))) return record.name;
  }
  return std::nullopt;
}

}  // namespace ruvo
