#pragma once

#include <optional>
#include <string>
#include <vector>

#include "receipt/Fields.h"
#include "receipt/PresenceFlags.h"

namespace ruvo {

struct ValidationOptions {
  // The connected state of the driver: no file passes while the ECR does not answer.
  bool connected = true;
};

struct ValidationResult {
  bool ok = false;
  // The text for WriteResponse when !ok: code, ";", message and usually the line.
  std::string errorText;
  // The flags of the lines checked so far (all lines when ok).
  PresenceFlags flags;
  // The number of non-empty lines checked.
  int countedLines = 0;
  // The port named by a first "COM" line of the file.
  std::optional<int> port;
  // The split fields of every line of the file, by position (empty lines give no
  // fields). Filled for the whole file, also when a line is refused.
  std::vector<Fields> fields;
};

// The validation pass: every line against the command table and its checker, in order,
// stopping at the first refused line; then the rules on the file as a whole and the
// check on returned articles. A file without any command line (nothing but empty and
// port-selection lines) is refused with 8005, and a command that must stand alone is
// refused with its own message when other lines come with it. Talks to nothing; the
// caller writes errorText.
ValidationResult ValidateReceiptLines(const std::vector<std::string>& lines,
                                      const ValidationOptions& options);

}  // namespace ruvo
