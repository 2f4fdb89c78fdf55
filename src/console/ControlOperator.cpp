#include "console/ControlOperator.h"

namespace ruvo {

MsgResult ControlOperator::RomMessageDlg(const std::string& text, const std::string& caption,
                                         MsgKind kind, MsgButtons buttons) {
  shown_.push_back(MessageBoxText(text, caption, kind));
  if (buttons != MsgButtons::YesNo) return MsgResult::Ok;
  shown_.push_back("-> Nu");
  return MsgResult::No;
}

void ControlOperator::ShowDefaultError(const std::string& text) {
  shown_.push_back(DefaultErrorText(text));
}

bool ControlOperator::AskPaymentForm(int& /*paymentForm*/) {
  shown_.push_back("[Forma de plata] -> Anulare");
  return false;
}

}  // namespace ruvo
