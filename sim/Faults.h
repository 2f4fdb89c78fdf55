#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace xruvo_sim {

// An "ERR nn" answer to every command that starts with `command`, instead of running it.
struct ErrorRule {
  std::string command;
  int code = 0;
  int extended = 0;  // with code 99: what "1015" reports afterwards
  bool once = true;
  int skip = 0;  // matching commands let through before the rule bites
};

// The answer to one command lost on its way back: the ECR runs the command (or, with
// hold before, does not) and the driver never hears about it. Held answers are never
// sent, so that a test can kill the driver while it waits; garbled ones arrive as noise.
struct LostAnswerRule {
  enum class Mode { HoldBefore, HoldAfter, Garble };
  std::string command;
  Mode mode = Mode::HoldAfter;
  int skip = 0;  // matching commands let through before the rule bites
};

// Faults of the line and of the ECR's firmware, injected by tests or the control channel.
// Counters count request frames and go down as frames arrive.
struct LineFaults {
  int nakFrames = 0;     // answer NAK without running the command
  int silentFrames = 0;  // answer nothing, run nothing
  bool silentAlways = false;
  int garbageFrames = 0;  // run the command, send line noise instead of its answer
  int lateFrames = 0;     // a lone ACK at once, the rest of the answer after lateMs
  std::int64_t lateMs = 0;
  bool vanishNextAnswer = false;  // send half an answer, then the device is gone
  std::int64_t byteDelayMs = 0;   // every answer byte this long after the one before
  std::vector<ErrorRule> errorRules;
  std::vector<LostAnswerRule> lostAnswerRules;

  // The rule for this command text, consumed when it holds only once.
  std::optional<ErrorRule> TakeErrorRule(const std::string& text);
  // The lost-answer rule for this command text, consumed (each bites once).
  std::optional<LostAnswerRule> TakeLostAnswerRule(const std::string& text);
};

}  // namespace xruvo_sim
