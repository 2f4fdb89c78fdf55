// "Start export" of TEExportXML: the request, then the transfer the receipt file's export
// uses as well, into ExportXML/ of the working folder.
#include "console/XmlExport.h"

#include "execution/ExportTransfer.h"
#include "platform/Log.h"

namespace ruvo {

namespace {

const std::string kExportFailedMessage = "Eroare la efectuarea exportului !\r";

ExportTransferHooks OperatorHooks(const ConsoleContext& context) {
  ExportTransferHooks hooks;
  hooks.beep = [&context] { context.driver.op.Beep(); };
  if (context.state.settings.mesajLaListareItem) {
    hooks.diagnostic = [&context](const std::string& text) { ShowPlainMessage(context, text); };
  }
  return hooks;
}

// What the ECR did not do is in the log only; what the driver itself could not do with
// an archive it holds is told, or the operator would never learn that the file is missing.
void TellArchiveProblem(const ConsoleContext& context, const ExportTransferResult& result) {
  if (result.outcome == ExportOutcome::kWriteFailed) {
    context.driver.op.ShowDefaultError("Nu pot salva fisierul " + result.archivePath);
  } else if (result.outcome == ExportOutcome::kTooLarge) {
    const std::string text = "Arhiva exportului depaseste " + std::to_string(kMaxExportBytes) +
                             " bytes si nu a fost salvata !";
    Log(LogLevel::Warning, "XML export: the ECR's archive is larger than " +
                               std::to_string(kMaxExportBytes) + " bytes; nothing was saved");
    ShowOperationFailure(context, text);
  }
}

}  // namespace

bool ExportXml(const ConsoleContext& context, const ExportXmlRequest& request) {
  const InputCheck check = CheckExportXmlInput(request);
  if (!check.ok) {
    ShowInputProblem(context.driver.op, check);
    return false;
  }
  ExportTransferRequest transfer;
  transfer.year = ExportYearText(request);
  transfer.month = ExportMonth(request);
  transfer.typeX = request.type == ExportType::X;
  transfer.mode = request.binaryTransfer ? kExportModeBinary : kExportModeHexPieces;
  transfer.busyMarker = false;  // "wait.txt" tells the sales application of its own exports only

  return RunOperation(context, kExportOperation, [&](TXruvoLinux& link) {
    if (!link.StartXmlExport(transfer.year, transfer.month, transfer.typeX ? "X" : "R")) {
      ShowOperationFailure(context, kExportFailedMessage + link.Engine().LastError());
      return false;
    }
    const ExportTransferResult result =
        TransferMonthlyExport(link, context.driver.clock, context.state.workingFolder, transfer,
                              OperatorHooks(context));
    TellArchiveProblem(context, result);
    return result.outcome == ExportOutcome::kSaved;
  });
}

}  // namespace ruvo
