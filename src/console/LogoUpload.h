#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "console/OperationFrame.h"

namespace ruvo {

inline const std::string kLogoOnlyBmpMessage = "Pot fi transmise doar fisiere BMP ! ";
inline const std::string kLogoSuccessMessage = "Transmisia s-a facut cu succes !";
inline const std::string kLogoProgressCaption = "Asteapta, transmit fisierul ...";
inline const std::string kLogoQuestionCaption = "Atentie";

constexpr std::size_t kLogoPieceBytes = 50;
// The size field of "9100" has six digits: a larger file cannot be announced.
constexpr std::size_t kLogoMaxBytes = 999'999;

// What the window shows while the pieces travel: the progress window over a disabled main
// window. Headless, none.
class ILogoProgress {
 public:
  virtual ~ILogoProgress() = default;
  // The hourglass: on once the operator has confirmed, off when the upload is over
  // (whatever way it ended).
  virtual void BusyCursor(bool busy) = 0;
  // Before the first piece: caption, gauge 1..pieceCount at 0, main window disabled, the
  // progress window shown and marked busy.
  virtual void Begin(int pieceCount) = 0;
  // After each piece the ECR took: pending window messages run, the gauge shows piecesSent.
  virtual void Advance(int piecesSent) = 0;
  // After the last piece, after the first refused one, and when an error is raised: the
  // main window enabled, the busy mark cleared, the progress window closed.
  virtual void End() = 0;
};

// Whether the "Continui ?" question is still to be asked.
enum class LogoConfirmation {
  AskOperator,       // the window: asked through the context's operator
  AlreadyConfirmed,  // the caller has its answer (the control socket's "logo FILE")
};

// True when the file's extension, in upper case, is ".BMP".
bool IsBmpFileName(const std::string& path);
// "Fisierul \r\r" + path + "\r\r" + " va fi transmis catre imprimanta.\r\r" + " Continui ?"
std::string LogoQuestion(const std::string& path);
// The command script's name: the file name without its folder, upper case, ".BMP" -> ".XRD".
std::string LogoScriptName(const std::string& path);

// The whole "Incarcare logo grafic" after the file was chosen: the extension check, the
// question (unless confirmed), the command script in the working folder, the upload
// "9100", "9101" per piece, "9102", its messages and the "Log_LoadBMP_" log. A file of 0
// bytes or of more than kLogoMaxBytes is refused with a message before anything is sent
// or written. progress may be null.
bool LoadLogo(const ConsoleContext& context, const std::string& bmpPath, ILogoProgress* progress,
              LogoConfirmation confirmation = LogoConfirmation::AskOperator);

}  // namespace ruvo
