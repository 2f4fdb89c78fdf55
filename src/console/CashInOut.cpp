// TEInOutSume: money put into or taken out of the cash drawer.
#include "console/ManualOperations.h"
#include "platform/AmountText.h"
#include "platform/ControlCharacters.h"

namespace ruvo {

namespace {

const std::string kWrongAmountMessage = "Suma eronata !";

InputCheck CashRefused(std::string message, DialogField focus) {
  return InputCheck{false, std::move(message), kOperationErrorCaption, MsgKind::Warning, focus};
}

// The amount as the drawer takes it: exact to the hundredth, more than zero, within what
// the ECR's command carries. Each way of failing has its own message: "Suma eronata !"
// alone would not tell an operator that 10,005 is refused for its third decimal.
AmountReading ReadCashAmount(const CashRequest& request) {
  AmountRule rule;
  rule.separator = request.decimalSeparator;
  return ReadAmount(request.amountText, rule);
}

std::string AmountProblemMessage(AmountProblem problem, char separator) {
  switch (problem) {
    case AmountProblem::TooManyDecimals:
      return "Suma eronata : cel mult doua zecimale !";
    case AmountProblem::NotPositive:
      return "Suma eronata : suma trebuie sa fie mai mare decat zero !";
    case AmountProblem::TooLarge:
      return "Suma eronata : cel mult 9999999" + std::string(1, separator) + "99 !";
    case AmountProblem::NotANumber:
    case AmountProblem::None:
      break;
  }
  return kWrongAmountMessage;
}

}  // namespace

std::string CashReasonFor(CashOperation operation) {
  return operation == CashOperation::CashIn ? kOpeningFloatReason : std::string();
}

InputCheck CheckCashInput(const CashRequest& request) {
  const AmountReading amount = ReadCashAmount(request);
  if (!amount.Ok())
    return CashRefused(AmountProblemMessage(amount.problem, request.decimalSeparator),
                       DialogField::Amount);
  if (request.reason.size() > kCashReasonMaxLength) {
    return CashRefused("Motivul operatiei poate avea cel mult 32 de caractere !",
                       DialogField::Reason);
  }
  if (const std::optional<std::size_t> at = FirstControlCharacter(request.reason)) {
    return CashRefused("Motivul operatiei contine un caracter de control la pozitia " +
                           std::to_string(*at + 1) + " !",
                       DialogField::Reason);
  }
  return InputAccepted();
}

bool RunCashInOut(const ConsoleContext& context, const CashRequest& request) {
  const InputCheck check = CheckCashInput(request);
  if (!check.ok) {
    ShowInputProblem(context.driver.op, check);
    return false;
  }
  const double amount = AmountValue(ReadCashAmount(request).hundredths);
  const std::string letter = request.operation == CashOperation::CashIn ? "D" : "P";
  return RunOperation(context, kCashOperation, [&](TXruvoLinux& link) {
    // The command has no field for the reason; the log keeps it beside the command.
    link.Engine().LogLine("-Motivul operatiei : " + request.reason);
    if (link.CashInOut(letter, amount)) return true;
    ShowOperationFailure(context, "Eroare la efectuarea operatiei !\r" + link.Engine().LastError());
    return false;
  });
}

}  // namespace ruvo
