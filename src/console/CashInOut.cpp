// TEInOutSume: money put into or taken out of the cash drawer.
#include <charconv>
#include <cmath>
#include <optional>

#include "console/ManualOperations.h"

namespace ruvo {

namespace {

const std::string kWrongAmountMessage = "Suma eronata !";
// Far beyond any drawer, and still exact in a double to the hundredth.
constexpr double kLargestAmount = 1e13;

InputCheck CashRefused(std::string message, DialogField focus) {
  return InputCheck{false, std::move(message), kOperationErrorCaption, MsgKind::Warning, focus};
}

// Digits with at most one decimal separator, a "+" allowed in front. A "-" is refused: the
// ECR's direction is the operation, never the sign.
std::optional<double> ParseAmount(const std::string& text, char separator) {
  std::string number = text;
  if (!number.empty() && number[0] == '+') number.erase(0, 1);
  bool digits = false;
  bool separatorSeen = false;
  for (char& c : number) {
    if (c >= '0' && c <= '9') {
      digits = true;
    } else if (c == separator && !separatorSeen) {
      separatorSeen = true;
      c = '.';
    } else {
      return std::nullopt;
    }
  }
  if (!digits) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error != std::errc() || end != number.data() + number.size()) return std::nullopt;
  if (!std::isfinite(value) || value >= kLargestAmount) return std::nullopt;
  return value;
}

bool HasControlCharacter(const std::string& text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  }
  return false;
}

}  // namespace

std::string CashReasonFor(CashOperation operation) {
  return operation == CashOperation::CashIn ? kOpeningFloatReason : std::string();
}

InputCheck CheckCashInput(const CashRequest& request) {
  if (!ParseAmount(request.amountText, request.decimalSeparator)) {
    return CashRefused(kWrongAmountMessage, DialogField::Amount);
  }
  if (request.reason.size() > kCashReasonMaxLength) {
    return CashRefused("Motivul operatiei poate avea cel mult 32 de caractere !",
                       DialogField::Reason);
  }
  if (HasControlCharacter(request.reason)) {
    return CashRefused("Motivul operatiei contine caractere nepermise !", DialogField::Reason);
  }
  return InputAccepted();
}

bool RunCashInOut(const ConsoleContext& context, const CashRequest& request) {
  const InputCheck check = CheckCashInput(request);
  if (!check.ok) {
    ShowInputProblem(context.driver.op, check);
    return false;
  }
  const double amount = *ParseAmount(request.amountText, request.decimalSeparator);
  const std::string letter = request.operation == CashOperation::CashIn ? "D" : "P";
  return RunOperation(context, kCashOperation, [&](TXruvoLinux& link) {
    // The command has no field for the reason; the log keeps it beside the command.
    link.LogLine("-Motivul operatiei : " + request.reason);
    if (link.CashInOut(letter, amount)) return true;
    ShowOperationFailure(context, "Eroare la efectuarea operatiei !\r" + link.LastError());
    return false;
  });
}

}  // namespace ruvo
