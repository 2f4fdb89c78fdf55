#include "Control.h"

#include <map>
#include <sstream>
#include <vector>

namespace xruvo_sim {

namespace {

bool ParseInt(const std::string& text, std::int64_t& out) {
  if (text.empty() || text.size() > 12) return false;
  std::size_t k = text[0] == '-' ? 1 : 0;
  if (k == text.size()) return false;
  std::int64_t value = 0;
  for (; k < text.size(); ++k) {
    if (text[k] < '0' || text[k] > '9') return false;
    value = value * 10 + (text[k] - '0');
  }
  out = text[0] == '-' ? -value : value;
  return true;
}

// "name" or "name off": the conditions that are simply on or off.
std::map<std::string, bool Conditions::*> Switches() {
  return {
      {"paper-out", &Conditions::paperOut},
      {"paper-near-end", &Conditions::paperNearEnd},
      {"cover-open", &Conditions::coverOpen},
      {"cutter-error", &Conditions::cutterError},
      {"mf-absent", &Conditions::mfAbsent},
      {"mf-full", &Conditions::mfFull},
      {"je-absent", &Conditions::jeAbsent},
      {"je-full", &Conditions::jeFull},
      {"je-almost-full", &Conditions::jeAlmostFull},
      {"display-absent", &Conditions::displayAbsent},
      {"not-fiscalized", &Conditions::notFiscalized},
      {"z-due", &Conditions::zDue},
      {"export-87", &Conditions::export87Once},
  };
}

std::string Count(const std::vector<std::string>& words, int& target) {
  std::int64_t n = 1;
  if (words.size() > 2 || (words.size() == 2 && !ParseInt(words[1], n)) || n < 0)
    return "expected: " + words[0] + " [count]";
  target = static_cast<int>(n);
  return {};
}

std::string ErrorRuleCommand(Engine& engine, const std::vector<std::string>& words, bool extended) {
  std::int64_t code = 0, skip = 0;
  const bool skipGiven = words.size() == 6 && words[4] == "skip";
  const bool shapeOk = words.size() == 3 || words.size() == 4 || skipGiven;
  if (!shapeOk || !ParseInt(words[2], code) ||
      (skipGiven && (!ParseInt(words[5], skip) || skip < 0)))
    return extended ? "expected: err99 COMMAND EXTENDED [once|always] [skip N]"
                    : "expected: err COMMAND CODE [once|always] [skip N]";
  const std::string mode = words.size() >= 4 ? words[3] : "once";
  if (mode != "once" && mode != "always") return "expected once or always after the code";
  ErrorRule rule;
  rule.skip = static_cast<int>(skip);
  rule.command = words[1];
  rule.once = mode == "once";
  if (extended) {
    rule.code = 99;
    rule.extended = static_cast<int>(code);
  } else {
    if (code < 0 || code > 99) return "the ECR's error codes are 0 to 99";
    rule.code = static_cast<int>(code);
    rule.extended = 100;
  }
  engine.Faults().errorRules.push_back(rule);
  return {};
}

}  // namespace

std::string ApplyControlCommand(Engine& engine, const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  if (words.empty() || words[0][0] == '#') return {};
  const std::string& verb = words[0];
  LineFaults& faults = engine.Faults();
  Conditions& conditions = engine.GetDevice().GetConditions();

  const auto switches = Switches();
  if (const auto it = switches.find(verb); it != switches.end()) {
    if (words.size() > 2 || (words.size() == 2 && words[1] != "off" && words[1] != "on"))
      return "expected: " + verb + " [on|off]";
    conditions.*(it->second) = !(words.size() == 2 && words[1] == "off");
    return {};
  }
  if (verb == "nak") return Count(words, faults.nakFrames);
  if (verb == "garbage") return Count(words, faults.garbageFrames);
  if (verb == "silence") {
    // Alone it is an ECR that is switched off; with a count, a few lost frames.
    if (words.size() == 1 || (words.size() == 2 && words[1] == "always")) {
      faults.silentAlways = true;
      return {};
    }
    if (words.size() == 2 && words[1] == "off") {
      faults.silentAlways = false;
      faults.silentFrames = 0;
      return {};
    }
    return Count(words, faults.silentFrames);
  }
  if (verb == "late") {
    std::int64_t ms = 0, n = 1;
    if (words.size() < 2 || words.size() > 3 || !ParseInt(words[1], ms) || ms < 0 ||
        (words.size() == 3 && !ParseInt(words[2], n)))
      return "expected: late MS [count]";
    faults.lateMs = ms;
    faults.lateFrames = static_cast<int>(n);
    return {};
  }
  if (verb == "slow" || verb == "delay" || verb == "pace" || verb == "je-free") {
    std::int64_t value = 0;
    if (verb == "pace" && words.size() == 2 && (words[1] == "on" || words[1] == "off")) {
      engine.SetByteTimeUs(words[1] == "on" ? 87 : 0);
      return {};
    }
    if (words.size() != 2 || !ParseInt(words[1], value) || value < 0)
      return "expected: " + verb + " NUMBER";
    if (verb == "slow") faults.byteDelayMs = value;
    if (verb == "delay") engine.SetAnswerDelayMs(value);
    if (verb == "pace") engine.SetByteTimeUs(value);
    if (verb == "je-free") engine.GetDevice().SetJeFreeLines(value);
    return {};
  }
  if (verb == "cancel-receipt" && words.size() == 1) {
    if (!engine.GetDevice().CancelAtKeyboard()) return "no fiscal receipt can be cancelled now";
    return {};
  }
  if (verb == "power-cycle" && words.size() == 1) {
    engine.GetDevice().PowerCycle();
    return {};
  }
  if (verb == "vanish") {
    faults.vanishNextAnswer = true;
    return {};
  }
  if (verb == "err" && words.size() == 2 && words[1] == "off") {
    faults.errorRules.clear();
    return {};
  }
  if (verb == "err") return ErrorRuleCommand(engine, words, false);
  if (verb == "err99") return ErrorRuleCommand(engine, words, true);
  if (verb == "lose") {
    // lose CMD before|after|garble [skip N]
    std::int64_t skip = 0;
    const bool skipGiven = words.size() == 5 && words[3] == "skip";
    if ((words.size() != 3 && !skipGiven) || (skipGiven && (!ParseInt(words[4], skip) || skip < 0)))
      return "expected: lose COMMAND before|after|garble [skip N]";
    LostAnswerRule rule;
    rule.command = words[1];
    rule.skip = static_cast<int>(skip);
    if (words[2] == "before") {
      rule.mode = LostAnswerRule::Mode::HoldBefore;
    } else if (words[2] == "after") {
      rule.mode = LostAnswerRule::Mode::HoldAfter;
    } else if (words[2] == "garble") {
      rule.mode = LostAnswerRule::Mode::Garble;
    } else {
      return "expected before, after or garble after the command";
    }
    faults.lostAnswerRules.push_back(rule);
    return {};
  }
  if (verb == "status") {
    if (words.size() == 2 && words[1] == "clear") {
      conditions.statusOverride.clear();
      return {};
    }
    std::int64_t position = 0;
    if (words.size() != 3 || !ParseInt(words[1], position) || position < 1 || position > 20 ||
        words[2].size() != 1)
      return "expected: status POSITION CHARACTER (position 1 to 20)";
    conditions.statusOverride[static_cast<int>(position)] = words[2][0];
    return {};
  }
  if (verb == "refuse-payment") {
    std::int64_t code = 0;
    if (words.size() < 2 || words.size() > 3 || !ParseInt(words[1], code))
      return "expected: refuse-payment CODE [off]";
    if (words.size() == 3 && words[2] == "off")
      conditions.refusedPayments.erase(static_cast<int>(code));
    else
      conditions.refusedPayments.insert(static_cast<int>(code));
    return {};
  }
  if (verb == "clear") {
    faults = LineFaults{};
    conditions = Conditions{};
    return {};
  }
  return "unknown control command: " + verb;
}

const char* ControlCommandHelp() {
  return "  nak [N]                 NAK the next N frames (default 1)\n"
         "  silence [N|always|off]  answer nothing to the next N frames, or (alone) always\n"
         "  garbage [N]             line noise instead of the next N answers\n"
         "  late MS [N]             a lone ACK, then the answer MS later (next N frames)\n"
         "  slow MS                 every answer byte MS after the one before (0: off)\n"
         "  pace on|off|US          wire time per byte (on: 87 us, 115,200 bit/s)\n"
         "  delay MS                wait MS before every answer\n"
         "  vanish                  half of the next answer, then the device is gone\n"
         "  cancel-receipt          the operator cancels the open receipt at the keyboard\n"
         "  power-cycle             off and on: an unfinished fiscal receipt is gone\n"
         "  err CMD CODE [once|always] [skip N]   answer ERR CODE to commands starting\n"
         "                          with CMD (after letting N of them through)\n"
         "  err99 CMD EXT [once|always] [skip N]  ERR 99; then \"1015\" answers ERR EXT\n"
         "  err off                 forget the err rules\n"
         "  lose CMD before|after|garble [skip N]   the next command starting with CMD\n"
         "                          (after N of them) is not answered: not run (before),\n"
         "                          run (after), or run and answered with noise (garble);\n"
         "                          says \"xruvo_sim: lost ...\" on standard error\n"
         "  status POS CHAR | status clear   force a \"1215\" status character\n"
         "  paper-out, paper-near-end, cover-open, cutter-error, mf-absent, mf-full,\n"
         "  je-absent, je-full, je-almost-full, display-absent, not-fiscalized,\n"
         "  z-due (24 hours since the last Z), export-87 (next \"6416\")   [on|off]\n"
         "  refuse-payment CODE [off]   refuse a payment form with ERR 99\n"
         "  je-free N               free lines of the electronic journal\n"
         "  clear                   all faults and conditions off\n"
         "  release                 (executable) end the exclusive hold a killed driver left\n"
         "                          on the port, as its last close would on a real port\n";
}

}  // namespace xruvo_sim
