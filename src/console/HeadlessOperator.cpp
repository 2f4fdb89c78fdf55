#include "console/Operator.h"
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
  const std::string shown = caption.empty() ? DefaultCaption(kind) : caption;
  Log(LevelOf(kind), "[" + shown + "] " + text);
  return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
}

void HeadlessOperator::ShowDefaultError(const std::string& text) {
  Log(LogLevel::Error, "[Eroare] " + text);
}

bool HeadlessOperator::AskPaymentForm(int& /*paymentForm*/) { return false; }

// The terminal's bell, when there is a terminal to ring.
void HeadlessOperator::Beep() {
  std::fputc('\a', stderr);
  std::fflush(stderr);
}

}  // namespace ruvo
