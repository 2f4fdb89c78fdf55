#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ruvo {

// What the response file says about one receipt file, beside its first lines. An item is
// written when it is set.
struct ResponseItems {
  std::optional<std::string> fiscalReceiptNumber;     // "BON FISCAL NR. "
  std::optional<std::string> nonFiscalReceiptNumber;  // "BON NEFISCAL NR. "
  std::optional<std::string> extraMessage;
  std::optional<std::string> pendingReceiptState;  // cleared once written
  std::optional<std::string> drawerCash;           // as the ECR gave it (10 characters)
  std::optional<std::string> administrativeAnswer;
  std::optional<std::string> autoFinishedReceipt;  // "A FOST FINALIZAT AUTOMAT BONUL "
  std::vector<std::string> extraLines;
  // The file ran without reading the ECR's status (the pending-receipt query): the warning
  // flags are the previous file's and say nothing about this one.
  bool statusNotRead = false;
};

// What follows the first six characters of the name's part before its first ".":
// "" for ONLINE.TXT, "7" for online7.txt, "_POS1" for ONLINE_POS1.TXT.
std::string ReceiptSuffix(const std::string& name);

// One receipt file from its pickup to its answer: its names' parts and what its answer
// says about it. The cycle makes a new one for every file it takes up and drops it once
// the file is answered, so that nothing of one file can reach the next one's answer.
struct FileRun {
  std::string suffix;  // what follows "ONLINE" in its name
  std::string stamp;   // "yyyy_mm_dd_hh_mm_ss": names its log and history copies
  ResponseItems response;
};

}  // namespace ruvo
