#include "Faults.h"

namespace xruvo_sim {

std::optional<ErrorRule> LineFaults::TakeErrorRule(const std::string& text) {
  for (auto it = errorRules.begin(); it != errorRules.end(); ++it) {
    if (text.compare(0, it->command.size(), it->command) != 0) continue;
    if (it->skip > 0) {
      --it->skip;
      continue;
    }
    ErrorRule rule = *it;
    if (rule.once) errorRules.erase(it);
    return rule;
  }
  return std::nullopt;
}

std::optional<LostAnswerRule> LineFaults::TakeLostAnswerRule(const std::string& text) {
  for (auto it = lostAnswerRules.begin(); it != lostAnswerRules.end(); ++it) {
    if (text.compare(0, it->command.size(), it->command) != 0) continue;
    if (it->skip > 0) {
      --it->skip;
      continue;
    }
    LostAnswerRule rule = *it;
    lostAnswerRules.erase(it);
    return rule;
  }
  return std::nullopt;
}

}  // namespace xruvo_sim
