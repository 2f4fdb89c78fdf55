#pragma once

#include <string>
#include <vector>

#include "app/ReceiptFileGuard.h"
#include "app/ReceiptFileReader.h"

namespace ruvo {

// True when an entry stands at path and it is no regular file: a symbolic link, a folder,
// a FIFO, a device or a socket. Such an entry under a receipt file's name is never
// opened: a link would make the driver read (and copy into History) whatever file it
// points at, a FIFO or a device could hold the driver up or feed it without end.
bool IsStrangeEntry(const std::string& path);

// The strange entries that were answered, so that each is answered once. An answered
// entry is renamed to a name the receipt mask does not match: that survives a restart,
// shows the operator what happened, frees the name for the sales application's next file
// and keeps whatever the entry was (nothing is deleted). Only when the rename fails is
// the entry remembered, until it changes or goes.
class StrangeEntries {
 public:
  explicit StrangeEntries(IFileOperations& files) : files_(files) {}

  // True for an entry answered before that could not be renamed and has not changed.
  bool IsSetAside(const std::string& folder, const std::string& name);

  // Renames the entry to StrangeAsideName(name, stamp, n); remembers it when it cannot.
  void SetAside(const std::string& folder, const std::string& name, const std::string& stamp);

 private:
  struct Remembered {
    std::string path;
    FileIdentity identity;
  };

  IFileOperations& files_;
  std::vector<Remembered> remembered_;
};

// "REFUZAT_" + stamp + "_" + name (+ "_" + n when taken): begins with neither "ONLINE"
// nor "ERROR".
std::string StrangeAsideName(const std::string& name, const std::string& stamp, int attempt);

}  // namespace ruvo
