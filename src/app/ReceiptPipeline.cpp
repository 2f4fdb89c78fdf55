#include "app/ReceiptPipeline.h"

#include <exception>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/Log.h"
#include "receipt/LegacyConversion.h"
#include "receipt/PresenceFlags.h"

namespace ruvo {

ReceiptPipeline::ReceiptPipeline(DriverState& state, IOperator& op, IClock& clock,
                                 IReceiptExecution& execution, DeliveryLedger& ledger)
    : state_(state), op_(op), clock_(clock), execution_(execution), ledger_(ledger) {}

std::optional<ReceiptFileContent> ReceiptPipeline::ReadWithRetry(const std::string& path,
                                                                 bool writersSought) {
  const std::int64_t start = clock_.MonotonicMs();
  for (;;) {
    if (std::optional<ReceiptFileContent> content = ReadCompleteReceipt(path, writersSought)) {
      return content;
    }
    writersSought = false;
    if (clock_.MonotonicMs() - start >= kReadRetryMs) return std::nullopt;
    clock_.SleepMs(kReadRetryPauseMs);
  }
}

void ReceiptPipeline::Run(const std::string& name, CurrentFile& file, bool foundWhole,
                          std::vector<std::string>& log) {
  std::optional<ReceiptFileContent> read =
      ReadWithRetry(JoinPath(state_.workingFolder, name), foundWhole);
  if (!read) {
    file.response.WriteResponse(kCannotOpenPrefix + name);
    return;
  }
  if (!ledger_.Claim(name, *read)) return;
  std::vector<std::string> lines = std::move(read->lines);

  if (state_.settings.sintaxa == 1) {
    // Read for every file, so that an edit of the settings file counts from the next one.
    IniFile ini;
    ini.Load(JoinPath(state_.workingFolder, "XRUVODRV.INI"));
    LegacyConversionSettings conversion;
    conversion.unitConversions = ini.SectionValues("ConversieUM");
    conversion.advanceReversal = ini.SectionValues("ConversieStornoAvans");
    lines = ConvertLegacyLines(lines, conversion);
  }

  if (state_.settings.history) {
    const std::string copy = "ONLINE" + file.run.suffix + "_" + file.run.stamp + ".TXT";
    CreateFolders(state_.historyFolder);
    if (!WriteLinesAtomic(JoinPath(state_.historyFolder, copy), lines)) {
      Log(LogLevel::Warning, "cannot write the history copy " + copy);
    }
  }

  if (lines.empty()) {
    file.response.Refuse("8005;Fisierul de intrare nu contine date");
    return;
  }

  ValidationOptions options;
  options.connected = state_.connected;
  const ValidationResult validation = ValidateReceiptLines(lines, options);
  if (!validation.ok) {
    file.response.Refuse(validation.errorText);
    return;
  }

  ReceiptRun run{state_, file.run,   op_, clock_,           file.response,
                 lines,  validation, log, &ledger_.Phases()};
  const int port = validation.port.value_or(state_.settings.port);
  const FileKind kind = SaleClosesReceipt(validation.flags) && validation.flags.fiscalGroup
                            ? FileKind::Sale
                            : FileKind::Other;
  // Without its record a crash could print the file twice.
  if (!ledger_.RecordRun(name, kind, port)) return;
  std::exception_ptr failure;
  try {
    if (execution_.PrepareEcrLink(run) && run.Reached(RunPhase::Lines)) {
      if (validation.flags.fiscalGroup) {
        execution_.ExecuteReceipt(run);
      } else {
        execution_.ExecuteAdministrative(run);
      }
    }
  } catch (...) {
    failure = std::current_exception();
  }
  // The link is closed and its log handed over on every way out.
  try {
    execution_.EndFile(run);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace ruvo
