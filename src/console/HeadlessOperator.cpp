#include "app/Operator.h"
#include "platform/Log.h"

namespace ruvo {

std::string DefaultCaption(MsgKind kind) {
  switch (kind) {
    case MsgKind::Warning:
      return "Atentie !";
    case MsgKind::Error:
      return "EROARE !";
    case MsgKind::Information:
      return "Informatie...";
    case MsgKind::Confirmation:
      return "Confirmare...";
    case MsgKind::Custom:
      break;
  }
  return "";
}

std::string MessageBoxText(const std::string& text, const std::string& caption, MsgKind kind) {
  return "[" + (caption.empty() ? DefaultCaption(kind) : caption) + "] " + text;
}

std::string DefaultErrorText(const std::string& text) { return "[Eroare] " + text; }

namespace {

LogLevel LevelOf(MsgKind kind) {
  switch (kind) {
    case MsgKind::Error:
      return LogLevel::Error;
    case MsgKind::Warning:
      return LogLevel::Warning;
    default:
      return LogLevel::Info;
  }
}

}  // namespace

MsgResult HeadlessOperator::RomMessageDlg(const std::string& text, const std::string& caption,
                                          MsgKind kind, MsgButtons buttons) {
  Log(LevelOf(kind), MessageBoxText(text, caption, kind));
  return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
}

void HeadlessOperator::ShowDefaultError(const std::string& text) {
  Log(LogLevel::Error, DefaultErrorText(text));
}

bool HeadlessOperator::AskPaymentForm(int& /*paymentForm*/) { return false; }

// The terminal's bell, when there is a terminal to ring: a sound, not a message, so it
// does not go through the log.
void HeadlessOperator::Beep() {
  std::fputc('\a', stderr);
  std::fflush(stderr);
}

}  // namespace ruvo
