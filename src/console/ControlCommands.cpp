#include "console/ControlCommands.h"

#include <cstdio>
#include <exception>
#include <functional>

#include "app/Driver.h"
#include "app/JeWarnings.h"
#include "console/ControlCommandsKeyed.h"
#include "console/ControlOperator.h"
#include "console/ManualOperations.h"

namespace ruvo {

namespace {

using Arguments = std::vector<std::string>;
using Operation = ManualOperation;

const std::string kUsageHint = "See: ruvo_drv --help";

ControlAnswer RequestRefused(std::vector<std::string> lines) {
  ControlAnswer answer = Failed(std::move(lines));
  answer.refused = true;
  return answer;
}

ControlAnswer UsageError(const std::string& text) { return RequestRefused({text, kUsageHint}); }

ControlAnswer Refused(const InputCheck& check) {
  return RequestRefused({MessageBoxText(check.message, check.caption, check.kind)});
}

// The operation on the driver's own state and ports, its messages and questions going to
// the answer instead of the driver's own operator.
// reachRunning: the operation is meant for the one under way (the report's stop).
ControlAnswer RunManual(Driver& driver, const Operation& operation, bool reachRunning = false) {
  const DriverState& state = driver.State();
  if (state.processing) return Failed({kStopProcessingFirst});
  if (state.operation.Active() && !reachRunning) return Failed({OperationInProgressText(state)});
  // Reachable only from inside a wait of the driver's own work.
  if (!state.operation.Active() && driver.Working()) {
    return Failed({"The driver is busy; try again in a moment."});
  }
  ControlOperator op;
  const DriverContext& own = driver.Context();
  const ConsoleContext context{DriverContext{own.clock, own.pump, op, own.ports}, driver.State()};
  bool done = false;
  try {
    done = operation(context);
  } catch (const std::exception& e) {
    op.ShowDefaultError(e.what());
  } catch (...) {
    op.ShowDefaultError("Eroare neasteptata");
  }
  ControlAnswer answer{done, op.Shown()};
  answer.ran = true;
  return answer;
}

ManualRunner PlainRunner(Driver& driver) {
  return [&driver](const Operation& operation, bool reachRunning) {
    return RunManual(driver, operation, reachRunning);
  };
}

std::string Since(const LocalDateTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour,
                t.minute, t.second);
  return text;
}

// A stop of processing forgets the count of free JE lines so that the next start reads it
// again; until then the warning box (and the window) still shows the count last read.
std::string JeFreeLinesStatus(const DriverState& state) {
  if (state.jeFreeLines >= 0) return kJeFreeLinesLine + std::to_string(state.jeFreeLines);
  for (const std::string& line : state.warningBox) {
    if (line.rfind(kJeFreeLinesLine, 0) == 0) return line;
  }
  return kJeFreeLinesLine + " necitit";
}

ControlAnswer Status(const Driver& driver) {
  const DriverState& state = driver.State();
  Arguments lines = {state.processing ? "START PROCESARE" : "STOP PROCESARE",
                     driver.ConnectedLabel()};
  if (state.operation.Active()) {
    lines.push_back(kOperationRunningLine + state.operation.name + " din " +
                    Since(state.operation.since));
  }
  lines.push_back(JeFreeLinesStatus(state));
  // The window's warning box starts with the count of free lines, told just above.
  Arguments warnings;
  for (const std::string& line : state.warningBox) {
    if (line.rfind(kJeFreeLinesLine, 0) != 0) warnings.push_back(line);
  }
  if (!warnings.empty()) {
    lines.push_back("Mesaje avertizare:");
    lines.insert(lines.end(), warnings.begin(), warnings.end());
  }
  lines.insert(lines.end(), state.serviceLines.begin(), state.serviceLines.end());
  return Succeeded(lines);
}

// "stop" and "start" are the tray menu's "Stop procesare mesaje": the settings are not
// saved.
ControlAnswer SetProcessing(Driver& driver, bool on) {
  if (driver.State().processing != on) driver.SetProcessing(on);
  if (driver.State().processing != on) return Failed({on ? "STOP PROCESARE" : "START PROCESARE"});
  if (!on) return Succeeded({"STOP PROCESARE"});
  return Succeeded({"START PROCESARE", driver.ConnectedLabel()});
}

ControlAnswer MfReport(const ManualRunner& run, const Arguments& args) {
  MfReportRequest request;
  bool rangeGiven = false;
  bool je = false;
  bool summary = false;
  for (std::size_t k = 1; k < args.size(); ++k) {
    const std::string& arg = args[k];
    if (arg == "--by-z" || arg == "--by-date") {
      if (rangeGiven) return UsageError("mf-report: give --by-z or --by-date once");
      if (k + 2 >= args.size()) return UsageError("mf-report: " + arg + " needs two values");
      rangeGiven = true;
      if (arg == "--by-z") {
        request.mode = MfReportMode::ByZNumber;
        request.startNumber = args[k + 1];
        request.endNumber = args[k + 2];
      } else {
        request.mode = MfReportMode::ByPeriod;
        request.startDate = args[k + 1];
        request.endDate = args[k + 2];
      }
      k += 2;
    } else if (arg == "--je" && !je) {
      je = true;
    } else if (arg == "--summary" && !summary) {
      summary = true;
    } else {
      return UsageError("mf-report: unexpected argument " + arg);
    }
  }
  if (!rangeGiven) return UsageError("mf-report: --by-z START END or --by-date DD.MM.YY DD.MM.YY");
  if (summary && (je || request.mode != MfReportMode::ByPeriod)) {
    return UsageError("mf-report: --summary is for MF reports --by-date only");
  }
  request.source = je ? MfJeSource::JE : MfJeSource::MF;
  request.detail = summary ? MfReportDetail::Summary : MfReportDetail::Detailed;
  const InputCheck check = CheckMfReportInput(request);
  if (!check.ok) return Refused(check);
  return run([&](const ConsoleContext& c) { return RunMfReport(c, request); }, false);
}

// The amount as typed on a command line: "." or "," as its decimal separator.
ControlAnswer Cash(const ManualRunner& run, const Arguments& args, CashOperation operation) {
  if (args.size() < 2 || args.size() > 3) return UsageError(args[0] + ": AMOUNT [REASON]");
  CashRequest request;
  request.operation = operation;
  request.amountText = args[1];
  request.decimalSeparator = args[1].find(',') != std::string::npos ? ',' : '.';
  request.reason = args.size() == 3 ? args[2] : CashReasonFor(operation);
  const InputCheck check = CheckCashInput(request);
  if (!check.ok) return Refused(check);
  return run([&](const ConsoleContext& c) { return RunCashInOut(c, request); }, false);
}

ControlAnswer Export(const ManualRunner& run, const Arguments& args) {
  if (args.size() < 4 || args.size() > 5 || (args.size() == 5 && args[4] != "--binary") ||
      (args[3] != "R" && args[3] != "X")) {
    return UsageError("export: YEAR MONTH R|X [--binary]");
  }
  ExportXmlRequest request;
  request.yearText = args[1];
  request.monthText = args[2];
  request.type = args[3] == "R" ? ExportType::R : ExportType::X;
  request.binaryTransfer = args.size() == 5;
  const InputCheck check = CheckExportXmlInput(request);
  if (!check.ok) return Refused(check);
  return run([&](const ConsoleContext& c) { return ExportXml(c, request); }, false);
}

// A command without arguments that runs one operation.
ControlAnswer Plain(const ManualRunner& run, const Arguments& args,
                    bool (*operation)(const ConsoleContext&)) {
  if (args.size() != 1) return UsageError(args[0] + " takes no arguments");
  return run(operation, false);
}

bool IsManualOperation(const std::string& command) {
  for (const char* name : {"z-report", "x-report", "stop-report", "cancel-receipt", "close-receipt",
                           "mf-report", "cash-in", "cash-out", "export", "logo"}) {
    if (command == name) return true;
  }
  return false;
}

// "stop-report": to the running report's link when one prints, else on a link of its own.
ControlAnswer StopReport(Driver& driver, const ManualRunner& run, const Arguments& args) {
  if (args.size() != 1) return UsageError("stop-report takes no arguments");
  const RunningOperation& running = driver.State().operation;
  if (!running.Active()) return run(StopMfReport, false);
  const std::string name = running.name;
  ControlAnswer answer = run(StopMfReport, true);
  if (answer.ok) answer.lines.push_back(kStopAskedLine + name);
  return answer;
}

ControlAnswer Dispatch(Driver& driver, const ManualRunner& run, const Arguments& args) {
  const std::string& command = args[0];
  if (command == "status" || command == "stop" || command == "start") {
    if (args.size() != 1) return UsageError(command + " takes no arguments");
    if (command == "status") return Status(driver);
    return SetProcessing(driver, command == "start");
  }
  // Whatever the arguments: with processing on, nothing of them could run.
  if (IsManualOperation(command) && driver.State().processing) {
    return Failed({kStopProcessingFirst});
  }
  if (command == "z-report") return Plain(run, args, RunZReport);
  if (command == "x-report") return Plain(run, args, RunXReport);
  if (command == "stop-report") return StopReport(driver, run, args);
  if (command == "cancel-receipt") return Plain(run, args, RunReceiptCancel);
  if (command == "close-receipt") return Plain(run, args, RunReceiptClose);
  if (command == "mf-report") return MfReport(run, args);
  if (command == "cash-in") return Cash(run, args, CashOperation::CashIn);
  if (command == "cash-out") return Cash(run, args, CashOperation::CashOut);
  if (command == "export") return Export(run, args);
  if (command == "logo") {
    if (args.size() != 2) return UsageError("logo: FILE");
    return run(
        [&](const ConsoleContext& c) {
          return LoadLogo(c, args[1], nullptr, LogoConfirmation::AlreadyConfirmed);
        },
        false);
  }
  return UsageError("unknown command: " + command);
}

std::string WithTrailingSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

// The command without a --dir for this driver's own folder; an answer when there is none
// to run.
std::optional<ControlAnswer> WithoutDir(const Driver& driver, Arguments& args) {
  // --dir names the folder the caller means; a driver on another folder refuses, so a
  // command never reaches the wrong till.
  if (!args.empty() && args[0] == "--dir") {
    if (args.size() < 2) return UsageError("--dir needs a value");
    if (WithTrailingSlash(args[1]) != driver.State().workingFolder) {
      return RequestRefused(
          {"This driver works in " + driver.State().workingFolder + ", not in " + args[1]});
    }
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.empty()) return UsageError("no command");
  return std::nullopt;
}

// "--key KEY" before the command or just after it: taken out of args into key.
std::optional<ControlAnswer> TakeKey(Arguments& args, std::optional<std::string>& key) {
  const std::size_t at = !args.empty() && args[0] == "--key" ? 0 : 1;
  if (args.size() <= at || args[at] != "--key") return std::nullopt;
  if (args.size() < at + 2) return UsageError("--key needs a value");
  key = args[at + 1];
  args.erase(args.begin() + static_cast<std::ptrdiff_t>(at),
             args.begin() + static_cast<std::ptrdiff_t>(at + 2));
  if (args.empty()) return UsageError("no command");
  OperationKeyStore* store = OperationKeys();
  if (store == nullptr) return RequestRefused({"--key: this driver keeps no operation keys"});
  if (!store->ValidKey(*key)) {
    return UsageError("--key: 1 to 128 characters of A-Z a-z 0-9 - _ . ~ :");
  }
  return std::nullopt;
}

}  // namespace

std::optional<ControlAnswer> ServeControlRequest(Driver& driver,
                                                 const std::vector<std::string>& arguments) {
  Arguments args = arguments;
  std::optional<std::string> key;
  if (WithoutDir(driver, args) || TakeKey(args, key)) return RunControlCommand(driver, arguments);
  const std::string& command = args[0];
  if (driver.Working()) {
    const bool processing = driver.State().processing;
    const bool startOrStop = command == "start" || command == "stop";
    // An operation meets its own refusal at once; only one the driver's other work holds
    // up waits, as the window's clicks do.
    const bool heldUp =
        IsManualOperation(command) && !processing && !driver.State().operation.Active();
    if (startOrStop || heldUp) return std::nullopt;
  }
  return RunControlCommand(driver, arguments);
}

ControlAnswer RunControlCommand(Driver& driver, const std::vector<std::string>& arguments) {
  Arguments args = arguments;
  if (auto refused = WithoutDir(driver, args)) return *refused;
  std::optional<std::string> key;
  if (auto refused = TakeKey(args, key)) return *refused;
  try {
    ManualRunner run = PlainRunner(driver);
    // start, stop and status are the same however often they are asked: no key needed.
    if (key && IsManualOperation(args[0])) run = KeyedRunner(driver, *key, args, run);
    return Dispatch(driver, run, args);
  } catch (...) {
    // Only memory can run out here; the driver goes on.
    return Failed({"The request could not be run."});
  }
}

}  // namespace ruvo
