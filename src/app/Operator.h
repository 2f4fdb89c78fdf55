#pragma once

#include <cstdint>
#include <string>

namespace ruvo {

// The kinds of RomMessageDlg; the value is the kind's number.
enum class MsgKind { Warning = 0, Error = 1, Information = 2, Confirmation = 3, Custom = 4 };

// Button sets; the driver itself uses only these two.
enum class MsgButtons { Ok, YesNo };

// Modal results, with the numbers the dialogs return.
enum class MsgResult : std::uint16_t {
  None = 0,
  Ok = 1,
  Cancel = 2,
  Abort = 3,
  Retry = 4,
  Ignore = 5,
  Yes = 6,
  No = 7,
  All = 8
};

// The caption RomMessageDlg shows for a kind when its caption argument is empty.
std::string DefaultCaption(MsgKind kind);

// A message box as one text for a terminal or a log: "[caption] text", the caption of the
// kind when none is given; the text's "\r" line breaks are kept.
std::string MessageBoxText(const std::string& text, const std::string& caption, MsgKind kind);
// The default error box the same way: "[Eroare] text".
std::string DefaultErrorText(const std::string& text);

// Everything the driver core asks of, or tells to, the person at the machine. The window
// answers through its dialogs; headless, an absent operator answers No or Cancel.
class IOperator {
 public:
  virtual ~IOperator() = default;

  // The one modal message box. Text and caption are single-byte text as the driver keeps it.
  virtual MsgResult RomMessageDlg(const std::string& text, const std::string& caption, MsgKind kind,
                                  MsgButtons buttons) = 0;

  // The application's default error box, for an error raised inside an operation.
  virtual void ShowDefaultError(const std::string& text) = 0;

  // The payment-form dialog: true with a payment form code 1..7, or false to cancel the receipt.
  virtual bool AskPaymentForm(int& paymentForm) = 0;

  // The short system beep, for a fault too small for a message of its own.
  virtual void Beep() = 0;
};

// No operator: every question answered No or Cancel, every message written to standard error
// with its caption.
class HeadlessOperator final : public IOperator {
 public:
  MsgResult RomMessageDlg(const std::string& text, const std::string& caption, MsgKind kind,
                          MsgButtons buttons) override;
  void ShowDefaultError(const std::string& text) override;
  bool AskPaymentForm(int& paymentForm) override;
  void Beep() override;
};

}  // namespace ruvo
