#include "Faults.h"

namespace xruvo_sim {

namespace {

// The first rule of rules for the command text that has no matching commands left to let
// through; removed when it bites once only.
template <class Rule>
std::optional<Rule> TakeRule(std::vector<Rule>& rules, const std::string& text,
                             bool (*once)(const Rule&)) {
  for (auto it = rules.begin(); it != rules.end(); ++it) {
    if (text.compare(0, it->command.size(), it->command) != 0) continue;
    if (it->skip > 0) {
      --it->skip;
      continue;
    }
    Rule rule = *it;
    if (once(rule)) rules.erase(it);
    return rule;
  }
  return std::nullopt;
}

}  // namespace

std::optional<ErrorRule> LineFaults::TakeErrorRule(const std::string& text) {
  return TakeRule<ErrorRule>(errorRules, text, [](const ErrorRule& rule) { return rule.once; });
}

std::optional<LostAnswerRule> LineFaults::TakeLostAnswerRule(const std::string& text) {
  return TakeRule<LostAnswerRule>(lostAnswerRules, text,
                                  [](const LostAnswerRule&) { return true; });
}

}  // namespace xruvo_sim
