// "Incarcare logo grafic": a BMP file sent to the ECR byte for byte, 50 bytes a command.
#include "console/LogoUpload.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "ecr/Amount.h"
#include "platform/AtomicFile.h"
#include "platform/Files.h"

namespace ruvo {

namespace {

const std::string kEmptyFileMessage = "Fisierul nu contine nimic, nu am ce transmite !";
const std::string kScriptExtension = ".XRD";

// Only ASCII letters change: the name's other bytes may be UTF-8, which an 8-bit upper
// case would break.
std::string AsciiUpper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string HexText(const std::string& bytes, std::size_t from, std::size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(count * 2);
  for (std::size_t k = from; k < from + count; ++k) {
    const auto value = static_cast<unsigned char>(bytes[k]);
    hex.push_back(kDigits[value >> 4]);
    hex.push_back(kDigits[value & 0x0F]);
  }
  return hex;
}

struct LogoPiece {
  int length = 0;
  std::string hex;
};

std::vector<LogoPiece> PiecesOf(const std::string& bytes) {
  std::vector<LogoPiece> pieces;
  pieces.reserve(bytes.size() / kLogoPieceBytes + 1);
  for (std::size_t at = 0; at < bytes.size(); at += kLogoPieceBytes) {
    const std::size_t count = std::min(kLogoPieceBytes, bytes.size() - at);
    pieces.push_back({static_cast<int>(count), HexText(bytes, at, count)});
  }
  return pieces;
}

// The script holds exactly the command texts the link sends.
std::vector<std::string> ScriptLines(std::size_t size, const std::vector<LogoPiece>& pieces) {
  std::vector<std::string> lines;
  lines.reserve(pieces.size() + 2);
  lines.push_back("9100" + PadNumber(static_cast<std::int64_t>(size), 6));
  for (const LogoPiece& piece : pieces)
    lines.push_back("9101" + PadNumber(piece.length, 2) + piece.hex);
  lines.push_back("9102");
  return lines;
}

std::string TooLargeMessage(std::size_t size) {
  return "Fisierul are " + std::to_string(size) + " bytes; pot fi transmise cel mult " +
         std::to_string(kLogoMaxBytes) + " bytes !";
}

// The picture's bytes, or nullopt after the operator was told why not. A file larger
// than the size field can announce is refused from its size alone, unread.
std::optional<std::string> ReadPicture(const ConsoleContext& context, const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      static_cast<std::size_t>(st.st_size) > kLogoMaxBytes) {
    ShowOperationFailure(context, TooLargeMessage(static_cast<std::size_t>(st.st_size)));
    return std::nullopt;
  }
  errno = 0;
  std::optional<std::string> bytes = ReadFileBytes(path);
  if (!bytes) {
    std::string text = "Nu pot citi fisierul " + path;
    if (errno != 0) text += " : " + std::string(std::strerror(errno));
    context.driver.op.ShowDefaultError(text);
    return std::nullopt;
  }
  if (bytes->empty()) {
    ShowOperationFailure(context, kEmptyFileMessage);
    return std::nullopt;
  }
  if (bytes->size() > kLogoMaxBytes) {  // it grew after the look at its size
    ShowOperationFailure(context, TooLargeMessage(bytes->size()));
    return std::nullopt;
  }
  return bytes;
}

// The hourglass from the operator's Yes to the end of the upload, on every path.
class HourglassCursor {
 public:
  explicit HourglassCursor(ILogoProgress* progress) : progress_(progress) {
    if (progress_ != nullptr) progress_->BusyCursor(true);
  }
  ~HourglassCursor() {
    try {
      if (progress_ != nullptr) progress_->BusyCursor(false);
    } catch (...) {
      // The cursor is the window's; the upload is over either way.
    }
  }
  HourglassCursor(const HourglassCursor&) = delete;
  HourglassCursor& operator=(const HourglassCursor&) = delete;

 private:
  ILogoProgress* progress_;
};

// The progress window over the disabled main window, from the first piece until the last
// one, the first refused one, or an exception: the window is whole again before any
// later message.
class ProgressWindow {
 public:
  explicit ProgressWindow(ILogoProgress* progress) : progress_(progress) {}
  ~ProgressWindow() {
    try {
      End();
    } catch (...) {
      // A window that fails to close must not keep the port open.
    }
  }
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  void Begin(int pieceCount) {
    if (progress_ == nullptr) return;
    shown_ = true;
    progress_->Begin(pieceCount);
  }
  void Advance(int piecesSent) {
    if (shown_) progress_->Advance(piecesSent);
  }
  void End() {
    if (!shown_) return;
    shown_ = false;
    progress_->End();
  }

 private:
  ILogoProgress* progress_;
  bool shown_ = false;
};

bool Upload(const ConsoleContext& context, TXruvoLinux& link, std::size_t size,
            const std::vector<LogoPiece>& pieces, ILogoProgress* progressWindow) {
  ProgressWindow progress(progressWindow);
  if (!link.BeginLogoUpload(static_cast<int>(size))) {
    ShowOperationFailure(context, "Eroare comanda 9100 !\r" + link.Engine().LastError());
    return false;
  }
  progress.Begin(static_cast<int>(pieces.size()));
  int sent = 0;
  for (const LogoPiece& piece : pieces) {
    if (!link.SendLogoPiece(piece.length, piece.hex)) {
      ShowOperationFailure(context, "Eroare comanda 9101 !\r" + link.Engine().LastError());
      progress.End();
      return false;
    }
    progress.Advance(++sent);
  }
  progress.End();
  if (!link.EndLogoUpload()) {
    ShowOperationFailure(context, "Eroare comanda 9102 !\r" + link.Engine().LastError());
    return false;
  }
  context.driver.op.RomMessageDlg(kLogoSuccessMessage, "", MsgKind::Information, MsgButtons::Ok);
  return true;
}

}  // namespace

bool IsBmpFileName(const std::string& path) {
  const std::string name = FileNameOf(path);
  const std::size_t dot = name.find_last_of('.');
  return dot != std::string::npos && AsciiUpper(name.substr(dot)) == ".BMP";
}

std::string LogoQuestion(const std::string& path) {
  return "Fisierul \r\r" + path + "\r\r" + " va fi transmis catre imprimanta.\r\r" + " Continui ?";
}

std::string LogoScriptName(const std::string& path) {
  std::string name = AsciiUpper(FileNameOf(path));
  for (std::size_t at = name.find(".BMP"); at != std::string::npos; at = name.find(".BMP", at)) {
    name.replace(at, 4, kScriptExtension);
    at += kScriptExtension.size();
  }
  return name;
}

bool LoadLogo(const ConsoleContext& context, const std::string& bmpPath, ILogoProgress* progress,
              LogoConfirmation confirmation) {
  IOperator& op = context.driver.op;
  if (!IsBmpFileName(bmpPath)) {
    ShowOperationFailure(context, kLogoOnlyBmpMessage);
    return false;
  }
  // Read before asking, so that a file that cannot go is refused without a question first.
  const std::optional<std::string> bytes = ReadPicture(context, bmpPath);
  if (!bytes) return false;
  if (confirmation == LogoConfirmation::AskOperator &&
      op.RomMessageDlg(LogoQuestion(bmpPath), kLogoQuestionCaption, MsgKind::Confirmation,
                       MsgButtons::YesNo) != MsgResult::Yes) {
    return false;
  }

  const HourglassCursor hourglass(progress);
  const std::vector<LogoPiece> pieces = PiecesOf(*bytes);
  const std::string scriptPath = JoinPath(context.state.workingFolder, LogoScriptName(bmpPath));
  errno = 0;
  if (!WriteLinesAtomic(scriptPath, ScriptLines(bytes->size(), pieces))) {
    std::string text = "Nu pot salva fisierul " + scriptPath;
    if (errno != 0) text += " : " + std::string(std::strerror(errno));
    op.ShowDefaultError(text);
    return false;
  }
  return RunOperation(context, kLogoOperation, [&](TXruvoLinux& link) {
    return Upload(context, link, bytes->size(), pieces, progress);
  });
}

}  // namespace ruvo
