#include "app/ResponseFile.h"

#include "app/DrawerCash.h"
#include "app/ResponseWarnings.h"
#include "platform/AtomicFile.h"
#include "platform/Files.h"
#include "platform/Log.h"

namespace ruvo {

std::string ResponseFileName(const std::string& suffix) { return "ERROR" + suffix + ".TXT"; }

ReceiptAnswer BuildAnswer(const std::string& text, AnswerOutcome outcome, const FileRun& file,
                          const DriverState& state) {
  const ResponseItems& r = file.response;
  ReceiptAnswer answer;
  answer.outcome = text == kResponseOk              ? AnswerOutcome::Done
                   : outcome == AnswerOutcome::Done ? AnswerOutcome::Failed
                                                    : outcome;
  if (answer.Ok()) {
    answer.code = 0;
  } else {
    SplitCode(text, answer.code, answer.message);
  }
  std::vector<std::string>& lines = answer.lines;
  if (!answer.Ok()) lines.push_back("1 ERROR");
  lines.push_back(text);
  if (r.fiscalReceiptNumber) {
    answer.fiscalNumber = *r.fiscalReceiptNumber;
    lines.push_back(kFiscalNumberPrefix + *r.fiscalReceiptNumber);
  }
  if (state.fiscalSeries) lines.push_back("Serie Fiscala : " + *state.fiscalSeries);
  if (r.nonFiscalReceiptNumber) {
    answer.nonFiscalNumber = *r.nonFiscalReceiptNumber;
    lines.push_back(kNonFiscalNumberPrefix + *r.nonFiscalReceiptNumber);
  }
  if (r.extraMessage) lines.push_back(*r.extraMessage);
  if (r.pendingReceiptState) lines.push_back(*r.pendingReceiptState);
  if (r.drawerCash) lines.push_back("NUMERAR SERTAR : " + FormatDrawerCash(*r.drawerCash));
  if (r.administrativeAnswer) lines.push_back(*r.administrativeAnswer);
  if (r.autoFinishedReceipt)
    lines.push_back("A FOST FINALIZAT AUTOMAT BONUL " + *r.autoFinishedReceipt);
  for (const std::string& line : r.extraLines) lines.push_back(line);
  auto warn = [&](const std::string& warning) {
    answer.warnings.push_back(warning);
    lines.push_back(kWarningPrefix + warning);
  };
  if (!r.statusNotRead) {
    if (state.warnings.paperNearEnd) warn("ATENTIE ! SE TERMINA HARTIA");
    if (state.warnings.journalAlmostFull) warn("ATENTIE ! JURNAL APROAPE PLIN");
  }
  if (state.jeFreeLines > 500 && state.jeFreeLines < 100000) {
    lines.push_back(kJeFreeLinesPrefix + " = " + std::to_string(state.jeFreeLines) +
                    "/  CHEMATI TEHNICIANUL AUTORIZAT PENTRU INLOCUIREA MEMORIEI JE");
    answer.warnings.push_back(lines.back());
  }
  return answer;
}

std::vector<std::string> BuildResponseLines(const std::string& text, const FileRun& file,
                                            const DriverState& state) {
  return BuildAnswer(text, AnswerOutcome::Failed, file, state).lines;
}

ResponseWriter::ResponseWriter(DriverState& state, IOperator& op,
                               const std::vector<std::string>& extraWarnings, FileRun& file,
                               bool hold)
    : state_(state), op_(op), extraWarnings_(extraWarnings), file_(file), hold_(hold) {}

void ResponseWriter::WriteResponse(const std::string& text) { Put(text, AnswerOutcome::Failed); }

void ResponseWriter::Refuse(const std::string& text) { Put(text, AnswerOutcome::Refused); }

void ResponseWriter::Put(const std::string& text, AnswerOutcome outcome) {
  answer_ = BuildAnswer(text, outcome, file_, state_);
  file_.response.pendingReceiptState.reset();
  written_ = true;

  RefreshWarnings(state_, extraWarnings_);
  if (!hold_) Save(answer_.lines);

  const bool box = state_.settings.dialogMesajEroare && text != kResponseOk;
  if (hold_) {
    deferredDialog_ = box ? std::optional(text) : std::nullopt;
  } else if (box) {
    ShowErrorDialog(op_, text);
  }
}

std::optional<std::string> ResponseWriter::TakeDeferredDialog() {
  std::optional<std::string> text = std::move(deferredDialog_);
  deferredDialog_.reset();
  return text;
}

void ShowErrorDialog(IOperator& op, const std::string& text) {
  op.RomMessageDlg(text, "Eroare", MsgKind::Warning, MsgButtons::Ok);
}

bool ResponseWriter::SaveHeld() {
  if (!written_) return false;
  return Save(answer_.lines);
}

bool ResponseWriter::Save(const std::vector<std::string>& lines) {
  // Written to a temporary name and renamed into place: the sales application may read
  // the response the moment it appears and must never see half of it.
  const std::string name = ResponseFileName(file_.suffix);
  lastSaveOk_ = WriteLinesAtomic(JoinPath(state_.workingFolder, name), lines);
  if (!lastSaveOk_) return false;

  if (state_.settings.history) {
    const std::string copy = "ERROR" + file_.suffix + "_" + file_.stamp + ".TXT";
    CreateFolders(state_.historyFolder);
    if (!WriteLinesAtomic(JoinPath(state_.historyFolder, copy), lines)) {
      Log(LogLevel::Warning, "cannot write the history copy " + copy);
    }
  }
  return true;
}

}  // namespace ruvo
