#include "execution/ExportTransfer.h"

#include <charconv>
#include <optional>
#include <string>

#include "platform/AtomicFile.h"
#include "platform/Files.h"

namespace ruvo {

namespace {

// Codes from 8000 up are the driver's own: the line timed out, was refused or is gone.
// Below that the ECR itself answered, which is how it says the pieces have ended.
constexpr int kFirstDriverCode = 8000;

constexpr std::size_t kPiecePrefixChars = 3;

int LastErrorCode(const FrameLink& engine) {
  const std::string& text = engine.LastError();
  int code = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
  return error == std::errc() && end != text.data() ? code : 0;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string SafeNamePart(std::string text) {
  for (char& c : text) {
    if (c == '/' || c == '\0') c = '_';
  }
  return text;
}

std::string TwoDigits(int value) {
  std::string text = std::to_string(value);
  return text.size() < 2 ? std::string(2 - text.size(), '0') + text : text;
}

// The busy marker the sales application watches; whatever way the transfer ends, no
// wait*.txt is left behind.
class WaitMarker {
 public:
  WaitMarker(const std::string& folder, bool wanted) : folder_(folder), wanted_(wanted) {
    if (wanted_) WriteFileAtomic(JoinPath(folder_, std::string(kWaitMarkerName)), std::string());
  }
  ~WaitMarker() {
    if (wanted_) DeleteWaitMarkers(folder_);
  }
  WaitMarker(const WaitMarker&) = delete;
  WaitMarker& operator=(const WaitMarker&) = delete;

 private:
  std::string folder_;
  bool wanted_;
};

void Notify(const ExportTransferHooks& hooks, const std::string& text) {
  if (hooks.diagnostic) hooks.diagnostic(text);
}

// Polls "1111" once a second until its answer begins with "00000" or the time since
// `startMs` is over the limit.
bool WaitUntilReady(TXruvoLinux& link, IClock& clock, std::int64_t startMs) {
  for (;;) {
    std::string answer;
    const bool ready = link.ReadDocumentState(answer) && answer.compare(0, 5, "00000") == 0;
    link.Engine().Pause(kExportPollPauseMs);
    if (ready) return true;
    if (clock.MonotonicMs() - startMs > kExportReadyLimitMs) return false;
  }
}

struct Received {
  ExportOutcome outcome = ExportOutcome::kNoData;  // kSaved here means: bytes hold the archive
  std::string bytes;
};

Received ReceiveHexPieces(TXruvoLinux& link, std::size_t maxBytes,
                          const ExportTransferHooks& hooks) {
  std::string hex;
  for (;;) {
    if (!link.ReadExportChunk()) {
      if (LastErrorCode(link.Engine()) >= kFirstDriverCode) return {ExportOutcome::kBrokenOff, {}};
      break;  // the ECR's answer past the last piece
    }
    const std::string& answer = link.Engine().LastAnswer();
    if (answer.size() <= kPiecePrefixChars) break;  // an empty piece: nothing more to come
    hex.append(answer, kPiecePrefixChars, kExportPieceChars);
    if (hex.size() / 2 > maxBytes) return {ExportOutcome::kTooLarge, {}};
  }
  if (hex.size() < 2) return {ExportOutcome::kNoData, {}};
  return {ExportOutcome::kSaved, DecodeHexPairs(hex, hooks.beep)};
}

Received ReceiveBinary(TXruvoLinux& link, std::size_t maxBytes, const ExportTransferHooks& hooks) {
  Notify(hooks, "Comanda 7404");
  if (!link.ReadExportData()) {
    // An archive announced longer than the receive buffer can never arrive whole: the
    // answer runs out of room and ends in a time-out, which must not pass for a line fault.
    if (link.Engine().AnswerLength() > 0 &&
        static_cast<std::size_t>(link.Engine().AnswerLength()) > maxBytes) {
      return {ExportOutcome::kTooLarge, {}};
    }
    return {LastErrorCode(link.Engine()) >= kFirstDriverCode ? ExportOutcome::kBrokenOff
                                                             : ExportOutcome::kNoData,
            {}};
  }
  const std::int32_t announced = link.Engine().AnswerLength();
  if (announced <= 0) return {ExportOutcome::kNoData, {}};
  if (static_cast<std::size_t>(announced) > maxBytes) return {ExportOutcome::kTooLarge, {}};
  const std::string_view data = link.Engine().LengthPrefixedData();
  if (data.size() != static_cast<std::size_t>(announced)) return {ExportOutcome::kBrokenOff, {}};
  Notify(hooks, "Salvez fisier ZIP. Total bytes : " + std::to_string(announced));
  return {ExportOutcome::kSaved, std::string(data)};
}

const char* OutcomeLogText(ExportOutcome outcome) {
  switch (outcome) {
    case ExportOutcome::kSaved:
      return "arhiva salvata";
    case ExportOutcome::kNotReady:
      return "exportul nu a fost gata in 120 secunde";
    case ExportOutcome::kOpenRefused:
      return "deschiderea fisierului de export refuzata";
    case ExportOutcome::kNoData:
      return "nu s-au primit date";
    case ExportOutcome::kBrokenOff:
      return "transfer intrerupt, arhiva nu a fost scrisa";
    case ExportOutcome::kTooLarge:
      return "arhiva prea mare, nu a fost scrisa";
    case ExportOutcome::kWriteFailed:
      return "arhiva nu a putut fi scrisa";
  }
  return "";
}

ExportTransferResult Finish(FrameLink& engine, ExportTransferResult result) {
  std::string line = "Export XML : ";
  line += OutcomeLogText(result.outcome);
  if (!result.archivePath.empty()) line += " " + result.archivePath;
  if (result.outcome == ExportOutcome::kSaved)
    line += " (" + std::to_string(result.bytes) + " bytes)";
  engine.LogLine(line);
  return result;
}

}  // namespace

std::string ExportArchivePath(const std::string& workingFolder, const std::string& year, int month,
                              const std::string& fiscalSeries) {
  const std::string name = std::string(kExportFolderName);
  const std::string folder =
      ResolveSubfolder(workingFolder, name).value_or(JoinPath(workingFolder, name));
  return JoinPath(folder, SafeNamePart(year) + TwoDigits(month) + "_" + SafeNamePart(fiscalSeries) +
                              ".ZIP");
}

std::string DecodeHexPairs(std::string_view text, const std::function<void()>& onBadPair) {
  std::string bytes;
  bytes.reserve(text.size() / 2);
  for (std::size_t at = 0; at + 1 < text.size(); at += 2) {
    const int high = HexDigit(text[at]);
    const int low = HexDigit(text[at + 1]);
    if (high < 0 || low < 0) {
      bytes.push_back('\0');
      if (onBadPair) onBadPair();
      continue;
    }
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return bytes;
}

void DeleteWaitMarkers(const std::string& workingFolder) {
  for (const std::string& name : ListMatching(workingFolder, "wait*.txt")) {
    DeleteFile(JoinPath(workingFolder, name));
  }
}

ExportTransferResult TransferMonthlyExport(TXruvoLinux& link, IClock& clock,
                                           const std::string& workingFolder,
                                           const ExportTransferRequest& request,
                                           const ExportTransferHooks& hooks) {
  const WaitMarker marker(workingFolder, request.busyMarker);
  ExportTransferResult result;

  link.Engine().Pause(kExportSettleMs);
  const std::int64_t pollStartMs = clock.MonotonicMs();

  std::string series;
  int seriesCode = 0;
  if (link.ReadFiscalSeries(series, seriesCode)) result.fiscalSeries = series;

  if (!WaitUntilReady(link, clock, pollStartMs)) {
    result.outcome = ExportOutcome::kNotReady;
    return Finish(link.Engine(), result);
  }

  const bool binary = request.mode == kExportModeBinary;
  if (binary) Notify(hooks, "Comanda 7400");
  if (!link.BeginExportTransfer(request.typeX)) {
    result.outcome = ExportOutcome::kOpenRefused;
    return Finish(link.Engine(), result);
  }

  const Received received = binary ? ReceiveBinary(link, request.maxBytes, hooks)
                                   : ReceiveHexPieces(link, request.maxBytes, hooks);
  result.outcome = received.outcome;
  if (received.outcome == ExportOutcome::kSaved) {
    result.archivePath = ExportArchivePath(workingFolder, request.year, request.month, series);
    const std::string folder = result.archivePath.substr(0, result.archivePath.find_last_of('/'));
    if (CreateFolders(folder) && WriteFileAtomic(result.archivePath, received.bytes)) {
      result.bytes = received.bytes.size();
    } else {
      result.outcome = ExportOutcome::kWriteFailed;
    }
  }

  if (binary) Notify(hooks, "Comanda 7408");
  link.EndExportTransfer();
  return Finish(link.Engine(), result);
}

}  // namespace ruvo
