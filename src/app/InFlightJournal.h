#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/ReceiptDelivery.h"

namespace ruvo {

// How far the run of a receipt file had come; moved on durably where a crash would need
// another answer. Preparing: the ECR may have been asked about its state, nothing of the
// file was sent. Lines: the file's lines may have reached the ECR. Closing: the close of
// the receipt may have been sent. Closed: the receipt was closed and cut, its number known
// (saved only for a run left unanswered: otherwise the answer's record, the next save,
// holds the number, and a crash before it is settled from Closing by asking the ECR).
// Answered: the run is over and its answer is in the record; what is left is to save the
// answer and take the file out of its name.
enum class RunPhase { Preparing, Lines, Closing, Closed, Answered };

// Sale: a file that opens a fiscal receipt and closes it. Other: everything else
// (reports, queries, stand-alone receipt commands, non-fiscal receipts, cash, export).
enum class FileKind { Sale, Other };

// One receipt file whose run had begun.
struct InFlightRecord {
  std::string name;     // in the working folder
  DeliveryId delivery;  // which file it is
  std::string stamp;    // its pickup stamp
  FileKind kind = FileKind::Other;
  RunPhase phase = RunPhase::Preparing;
  int port = 1;                     // the port the file ran on
  std::string receiptNumber;        // set in phase Closed
  std::vector<std::string> answer;  // the response's lines, in phase Answered
};

// A receipt file that ran but could be neither deleted nor renamed: it must not run again
// while that same file stands under its name, also after a restart.
struct ExecutedFile {
  std::string name;
  DeliveryId delivery;
};

// The hidden file of the working folder that remembers both, written whole and flushed
// to the disk on every change, so that a kill -9 or a power cut finds it as it was last
// changed. Its name matches none of the masks of receipt, response, log or wait files.
// A damaged file loses only its unreadable lines. A change that cannot be saved is not
// made: what the journal holds is always what the disk holds.
class InFlightJournal {
 public:
  static inline const std::string kFileName = ".ruvodrv-journal";

  // folder is read at every use: the working folder may be set after construction.
  explicit InFlightJournal(const std::string& folder);

  // False while a journal that is there cannot be read: nothing may run meanwhile, since
  // its records are not known. Read again at the next call.
  bool Ready();

  const std::vector<InFlightRecord>& Records();
  std::optional<InFlightRecord> Find(const std::string& name);
  // Adds or replaces the record of its name. False when it could not be saved.
  bool Put(const InFlightRecord& record);
  bool Remove(const std::string& name);

  const std::vector<ExecutedFile>& Executed();
  bool AddExecuted(const ExecutedFile& file);
  bool RemoveExecuted(const std::string& name);
  // Replaces the record of file.name by file, in one save.
  bool MoveToExecuted(const ExecutedFile& file);

  // Saves what it holds again: true once the journal can be written.
  bool Flush();

 private:
  void EnsureLoaded();
  bool Save();
  // Saves after change; on failure puts back what was there before.
  template <class Change>
  bool Commit(Change change);

  const std::string& folder_;
  std::optional<std::string> loadedFrom_;
  bool unreadable_ = false;
  std::vector<InFlightRecord> records_;
  std::vector<ExecutedFile> executed_;
};

// The journal's text and back, exposed for tests.
std::string FormatJournal(const std::vector<InFlightRecord>& records,
                          const std::vector<ExecutedFile>& executed);
void ParseJournal(const std::string& text, std::vector<InFlightRecord>& records,
                  std::vector<ExecutedFile>& executed);

}  // namespace ruvo
