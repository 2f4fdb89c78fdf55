#include <cstdio>

#include "console/Operator.h"

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

// Message boxes carry "\r" as their line break; on a terminal a newline reads better.
std::string ForTerminal(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c == '\r') c = '\n';
  }
  return out;
}

}  // namespace

MsgResult HeadlessOperator::RomMessageDlg(const std::string& text, const std::string& caption,
                                          MsgKind kind, MsgButtons buttons) {
  std::fprintf(stderr, "%s\n", ForTerminal(MessageBoxText(text, caption, kind)).c_str());
  std::fflush(stderr);
  return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
}

void HeadlessOperator::ShowDefaultError(const std::string& text) {
  std::fprintf(stderr, "%s\n", ForTerminal(DefaultErrorText(text)).c_str());
  std::fflush(stderr);
}

bool HeadlessOperator::AskPaymentForm(int& /*paymentForm*/) { return false; }

}  // namespace ruvo
