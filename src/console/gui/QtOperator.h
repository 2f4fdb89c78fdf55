#pragma once

#include "app/Operator.h"
#include "platform/EventPump.h"

namespace ruvo::gui {

// The person at the machine, asked through the driver's dialogs.
class QtOperator final : public IOperator {
 public:
  MsgResult RomMessageDlg(const std::string& text, const std::string& caption, MsgKind kind,
                          MsgButtons buttons) override;
  // The program's error box; the text also goes to standard error, for the record.
  void ShowDefaultError(const std::string& text) override;
  bool AskPaymentForm(int& paymentForm) override;
  void Beep() override;
};

// Lets the window handle its events between the short slices of an ECR wait. Clicks that
// arrive meanwhile are the window's to refuse while something runs.
class QtEventPump final : public IEventPump {
 public:
  void Pump() override;
  int SliceMs() const override { return 50; }
};

}  // namespace ruvo::gui
