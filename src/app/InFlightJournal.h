#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/ReceiptAnswer.h"
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

// What the ECR showed just before a sale's first line was sent: its last fiscal receipt's
// number and, where it offers them, the counts of receipts closed and cancelled since the
// last Z. After a crash the sale's receipt counts as printed only when the ECR has moved
// on from here by exactly that one receipt, closed and not cancelled.
struct EcrMark {
  int lastNumber = 0;  // 0..9999
  int receipts = -1;   // -1: not offered
  int cancelled = -1;  // -1: not offered
  bool CountsKnown() const { return receipts >= 0 && cancelled >= 0; }
  bool operator==(const EcrMark&) const = default;
};

// How the ECR moved on from a mark.
enum class EcrMove {
  Unchanged,     // no receipt was closed or cancelled
  ClosedOne,     // exactly the next receipt was closed
  CancelledOne,  // exactly the next receipt was cancelled
  Unknown,       // anything else: other receipts, a Z, counts not offered
};
EcrMove CompareMark(const EcrMark& before, const EcrMark& now);
// The number the ECR gives the receipt after number.
int NextReceiptNumber(int number);

// One receipt file whose run had begun.
struct InFlightRecord {
  std::string name;     // in the working folder
  DeliveryId delivery;  // which file it is
  std::string stamp;    // its pickup stamp
  FileKind kind = FileKind::Other;
  RunPhase phase = RunPhase::Preparing;
  int port = 1;                                // the port the file ran on
  std::string receiptNumber;                   // set in phase Closed
  std::optional<ReceiptAnswer> answer;         // in phase Answered
  std::optional<EcrMark> mark = std::nullopt;  // a sale's, once its lines may reach the ECR
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
// Every line carries a check of its own and the file ends with a check of the whole: a
// file that fails one (cut short, a byte changed, a layout this driver does not know) is
// damaged, never read as fewer records. A damaged journal is left as it is, a copy of it
// is kept aside, and nothing runs until the operator has dealt with it: a record lost
// would print its sale again. A change that cannot be saved is not made: what the
// journal holds is always what the disk holds.
class InFlightJournal {
 public:
  static inline const std::string kFileName = ".ruvodrv-journal";

  // folder is read at every use: the working folder may be set after construction.
  explicit InFlightJournal(const std::string& folder);

  // False while a journal that is there cannot be read: nothing may run meanwhile, since
  // its records are not known. Read again at the next call.
  bool Ready();
  // True while the journal on the disk is damaged (Ready is then false); AsideName names
  // the copy kept of it.
  bool Damaged();
  const std::string& AsideName() const { return asideName_; }

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
  bool damaged_ = false;
  std::string asideName_;
  std::vector<InFlightRecord> records_;
  std::vector<ExecutedFile> executed_;
};

// The journal's text and back, exposed for tests. ParseJournal is false, with nothing
// read, for a damaged text.
std::string FormatJournal(const std::vector<InFlightRecord>& records,
                          const std::vector<ExecutedFile>& executed);
[[nodiscard]] bool ParseJournal(const std::string& text, std::vector<InFlightRecord>& records,
                                std::vector<ExecutedFile>& executed);

// The prefix of the copies kept of a damaged journal.
inline const std::string kDamagedJournalPrefix = ".ruvodrv-journal-damaged-";

}  // namespace ruvo
