#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ruvo {

// How far the run of a receipt file had come; moved on durably where a crash would need
// another answer. Preparing: the ECR may have been asked about its state, nothing of the
// file was sent. Lines: the file's lines may have reached the ECR. Closing: the close of
// the receipt may have been sent. Closed: the receipt was closed and cut, its number known.
enum class RunPhase { Preparing, Lines, Closing, Closed };

// Sale: a file that opens a fiscal receipt and closes it. Other: everything else
// (reports, queries, stand-alone receipt commands, non-fiscal receipts, cash, export).
enum class FileKind { Sale, Other };

// One receipt file whose run had begun.
struct InFlightRecord {
  std::string name;    // in the working folder
  std::string sha256;  // of its bytes as read
  std::string stamp;   // its pickup stamp
  FileKind kind = FileKind::Other;
  RunPhase phase = RunPhase::Preparing;
  int port = 1;                 // the port the file ran on
  std::string receiptNumber;    // set in phase Closed
};

// A receipt file that ran but could be neither deleted nor renamed: it must not run again
// while it holds the same bytes, also after a restart.
struct ExecutedFile {
  std::string name;
  std::string sha256;
};

// The hidden file of the working folder that remembers both, written whole and flushed
// to the disk on every change, so that a kill -9 or a power cut finds it as it was last
// changed. Its name matches none of the masks of receipt, response, log or wait files.
// A damaged file loses only its unreadable lines.
class InFlightJournal {
 public:
  static inline const std::string kFileName = ".ruvodrv-journal";

  // folder is read at every use: the working folder may be set after construction.
  explicit InFlightJournal(const std::string& folder);

  const std::vector<InFlightRecord>& Records();
  std::optional<InFlightRecord> Find(const std::string& name);
  // Adds or replaces the record of its name. False when it could not be saved.
  bool Put(const InFlightRecord& record);
  bool Remove(const std::string& name);

  const std::vector<ExecutedFile>& Executed();
  bool AddExecuted(const ExecutedFile& file);
  bool RemoveExecuted(const std::string& name);

 private:
  void EnsureLoaded();
  bool Save();

  const std::string& folder_;
  std::optional<std::string> loadedFrom_;
  std::vector<InFlightRecord> records_;
  std::vector<ExecutedFile> executed_;
};

// The journal's text and back, exposed for tests.
std::string FormatJournal(const std::vector<InFlightRecord>& records,
                          const std::vector<ExecutedFile>& executed);
void ParseJournal(const std::string& text, std::vector<InFlightRecord>& records,
                  std::vector<ExecutedFile>& executed);

}  // namespace ruvo
