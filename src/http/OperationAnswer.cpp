#include "http/OperationAnswer.h"

#include <nlohmann/json.hpp>

#include "console/ControlCommands.h"
#include "console/OperationFrame.h"
#include "http/Problem.h"
#include "platform/Files.h"
#include "platform/Text1250.h"

namespace ruvo::http {

namespace {

// What the control server answers a request that finds the driver at other work.
const std::string kDriverBusy = "The driver is busy; try again in a moment.";

bool Holds(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& line : lines) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

// A message box's line breaks become lines of their own, as on the terminal.
nlohmann::json Utf8Lines(const std::vector<std::string>& lines) {
  nlohmann::json converted = nlohmann::json::array();
  for (const std::string& text : lines) {
    for (const std::string& line : SplitLines(text)) converted.push_back(Utf8From1250(line));
  }
  return converted;
}

HttpResponse ResponseOf(const ControlAnswer& answer) {
  const nlohmann::json lines = Utf8Lines(answer.lines);
  if (answer.ok) return MakeJson(200, {{"ok", true}, {"lines", lines}});
  std::string detail;
  for (const nlohmann::json& line : lines) {
    detail += (detail.empty() ? "" : "\n") + line.get<std::string>();
  }
  const nlohmann::json extra = {{"lines", lines}};
  switch (answer.key) {
    case KeyOutcome::None:
      break;
    case KeyOutcome::Reused:
      return MakeProblem(409, "key-reused", "Cheie folosita pentru alta operatie", detail, extra);
    case KeyOutcome::InProgress:
      return MakeProblem(409, "key-in-progress", "Operatia cheii ruleaza", detail, extra);
    case KeyOutcome::NotSaved:
      return MakeProblem(503, "not-saved", "Operatia nu a putut fi inregistrata", detail, extra);
    case KeyOutcome::Undetermined:
      return MakeProblem(502, "outcome-unknown", "Nu se stie daca operatia s-a executat", detail,
                         extra);
  }
  if (answer.lines == std::vector<std::string>{kStopProcessingFirst}) {
    return MakeProblem(409, "processing-running", "Procesarea ruleaza", detail, extra);
  }
  if (Holds(answer.lines, kOperationInProgress) || Holds(answer.lines, kDriverBusy)) {
    return MakeProblem(409, "operation-running", "O operatie este in curs", detail, extra);
  }
  if (Holds(answer.lines, kInterruptedRunWaitsPrefix)) {
    return MakeProblem(409, "interrupted-run", "Un fisier intrerupt asteapta procesarea", detail,
                       extra);
  }
  if (answer.refused) {
    return MakeProblem(422, "input-refused", "Date refuzate", detail, extra);
  }
  return MakeProblem(502, "operation-failed", "Operatia nu s-a executat", detail, extra);
}

}  // namespace

HttpResponse OperationResponse(const ControlAnswer& answer) {
  HttpResponse response = ResponseOf(answer);
  if (answer.replayed) response.SetHeader("Idempotent-Replayed", "true");
  return response;
}

}  // namespace ruvo::http
