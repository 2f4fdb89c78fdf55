#pragma once

#include <optional>
#include <string>
#include <vector>

#include "http/ReceiptBody.h"

namespace ruvo::http {

// A manual operation asked over HTTP, as `ruvo_drv ctl` would have asked it: the control
// command's arguments (Windows-1250), run by the same code the control socket runs.
struct OperationCall {
  std::vector<std::string> arguments;
};

struct OperationParse {
  std::optional<OperationCall> call;
  BodyRefusal refusal;  // when no call; 404 for an operation HTTP does not offer
  std::string field;    // the body's member the refusal is about, if one
};

// The names of the path /v1/operations/{name}: the control commands of the manual
// operations, "stop-processing" and "start-processing". The logo is not among them: its
// picture is a file on the till's own disk, chosen by whoever sets up the till.
//
// The body is a JSON object (an empty body counts as {}): nothing for the reports, the
// receipt's cancel and close and the processing; cash-in and cash-out
// {"amount": "12.50", "reason": "..."}; mf-report {"by": "z"|"date", "start": "...",
// "end": "...", "je": false, "summary": false}; export {"year": "2026", "month": "11",
// "type": "R"|"X", "binary": false}. A member the operation does not take, or one of
// another type, is refused (422) with the member's name.
OperationParse ParseOperation(const std::string& name, const std::string& contentType,
                              const std::string& body);

}  // namespace ruvo::http
