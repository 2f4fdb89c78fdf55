#include "console/DialogInput.h"

#include "platform/IntegerText.h"
#include "platform/Locale.h"

namespace ruvo {

InputCheck InputAccepted() { return InputCheck{}; }

InputCheck InputRefused(std::string message, DialogField focus) {
  return InputCheck{false, std::move(message), kInputErrorCaption, MsgKind::Error, focus};
}

void ShowInputProblem(IOperator& op, const InputCheck& check) {
  if (check.ok) return;
  op.RomMessageDlg(check.message, check.caption, check.kind, MsgButtons::Ok);
}

bool IsNumberEditKey(char key) { return (key >= '0' && key <= '9') || key == kBackspaceKey; }

bool IsAmountEditKey(char key, char decimalSeparator) {
  return IsNumberEditKey(key) || key == decimalSeparator;
}

std::optional<int> DigitsValue(const std::string& text) {
  // The dialogs' edits take digits only: no sign.
  if (!IsAllDigits(text)) return std::nullopt;
  return ParseInt32(text);
}

}  // namespace ruvo
