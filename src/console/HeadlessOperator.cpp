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
  const std::string shown = caption.empty() ? DefaultCaption(kind) : caption;
  std::fprintf(stderr, "[%s] %s\n", shown.c_str(), ForTerminal(text).c_str());
  std::fflush(stderr);
  return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
}

void HeadlessOperator::ShowDefaultError(const std::string& text) {
  std::fprintf(stderr, "[Eroare] %s\n", ForTerminal(text).c_str());
  std::fflush(stderr);
}

bool HeadlessOperator::AskPaymentForm(int& /*paymentForm*/) { return false; }

// The terminal's bell, when there is a terminal to ring.
void HeadlessOperator::Beep() {
  std::fputc('\a', stderr);
  std::fflush(stderr);
}

}  // namespace ruvo
