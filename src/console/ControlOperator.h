#pragma once

#include <string>
#include <vector>

#include "app/Operator.h"

namespace ruvo {

// The person at the other end of the control socket: every box an operation shows becomes
// lines of the answer, "[caption] text", and a question is answered as the command line
// asked before the operation began. None of the operations a control command runs asks
// anything the command has not already settled (the logo's "Continui ?" is confirmed by
// the command itself), so what remains is put like an absent operator's: No or Cancel,
// and the answer is written under the question.
class ControlOperator final : public IOperator {
 public:
  MsgResult RomMessageDlg(const std::string& text, const std::string& caption, MsgKind kind,
                          MsgButtons buttons) override;
  void ShowDefaultError(const std::string& text) override;
  bool AskPaymentForm(int& paymentForm) override;
  // A bell on the driver's side would reach nobody; the messages tell what went wrong.
  void Beep() override {}

  // Everything shown so far, in order, as single-byte text.
  const std::vector<std::string>& Shown() const { return shown_; }

 private:
  std::vector<std::string> shown_;
};

}  // namespace ruvo
