#pragma once

#include <optional>
#include <string>

#include "app/Operator.h"

namespace ruvo {

// The fields of the operation dialogs an input check may send the focus to.
enum class DialogField {
  None,         // the focus stays where it is
  StartNumber,  // ENrStart of the report dialog
  EndNumber,    // ENrEnd of the report dialog
  StartDate,    // EdataStart
  EndDate,      // EDataEnd
  Amount,       // the amount (ENrStart of the cash dialog), its whole text selected
  Reason,       // the reason (ENrEnd of the cash dialog)
  Year,         // EAn of the export dialog
  Month,        // CLuna of the export dialog
};

// The outcome of a dialog's input check: nothing is sent when it fails, the message is
// shown with its caption and kind, and the focus moves to the field named.
struct InputCheck {
  bool ok = true;
  std::string message;
  std::string caption;
  MsgKind kind = MsgKind::Error;
  DialogField focus = DialogField::None;
};

// Caption of the report and export dialogs' input messages (with its trailing blank).
inline const std::string kInputErrorCaption = "Eroare ";

InputCheck InputAccepted();
// A refusal with the caption "Eroare " and the error kind.
InputCheck InputRefused(std::string message, DialogField focus);

// Shows a failed check's message with OK; does nothing for an accepted one.
void ShowInputProblem(IOperator& op, const InputCheck& check);

// The keys the number edits take from the keyboard: the digits and Backspace; the amount
// edit also takes the decimal separator. Pasted text is not filtered: the checks refuse it.
constexpr char kBackspaceKey = '\b';
bool IsNumberEditKey(char key);
bool IsAmountEditKey(char key, char decimalSeparator);

// The value of a text of digits only (at least one), when it fits an int.
std::optional<int> DigitsValue(const std::string& text);

}  // namespace ruvo
