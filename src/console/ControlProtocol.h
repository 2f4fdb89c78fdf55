#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruvo {

// The framing of the control socket: text lines ended by "\n", counted in a header line,
// so that a cut-off request or answer is told from a whole one.
//
//   request: "RUVOCTL 1 <n>\n" and n argument lines (the command and its arguments)
//   answer:  "RUVOCTL 1 OK <n>\n" or "RUVOCTL 1 FAIL <n>\n" and n lines of text
//
// Text is Windows-1250, as the driver keeps it; the client converts at the terminal.
// The client sends one request, then reads the answer until the driver closes.

constexpr std::size_t kMaxRequestBytes = 4096;
constexpr std::size_t kMaxRequestArguments = 16;
constexpr std::size_t kMaxAnswerBytes = 1024 * 1024;

// What became of a request sent with an operation key ("--key KEY"); None without one.
enum class KeyOutcome {
  None,
  Reused,        // the key came with another operation or other values: nothing ran
  InProgress,    // the key's operation runs now: nothing more ran
  NotSaved,      // the key could not be recorded: nothing ran
  Undetermined,  // the key's operation was cut off by a stop of the driver and the ECR
                 // cannot tell whether it was carried out
};

struct ControlAnswer {
  bool ok = false;
  std::vector<std::string> lines;
  // The request itself was refused (arguments, or values the operation's own input check
  // does not take) and nothing ran. Known to the driver only; it does not travel.
  bool refused = false;
  // The manual operation's own run began (its frame was entered); the driver's alone.
  bool ran = false;
  // The answer kept for the request's key, given again: the operation did not run now.
  // It travels as a last line (kReplayedLine and the key).
  bool replayed = false;
  std::string replayKey = {};  // the key of a replayed answer
  KeyOutcome key = KeyOutcome::None;
};

// The last line of an answer given again for its key.
inline const std::string kReplayedLine = "Raspuns pastrat (operatia nu a rulat din nou), cheia ";

ControlAnswer Succeeded(std::vector<std::string> lines = {});
ControlAnswer Failed(std::vector<std::string> lines);

// An argument holding "\n" cannot travel; the caller refuses it before.
std::string EncodeRequest(const std::vector<std::string>& arguments);

enum class RequestStatus { Incomplete, Complete, Malformed };

struct RequestParse {
  RequestStatus status = RequestStatus::Incomplete;
  std::vector<std::string> arguments;  // when Complete
  std::string error;                   // when Malformed
};

// Everything received so far: Incomplete while it is a good beginning of a request.
// The size limit is the caller's: it knows when no more bytes will come.
RequestParse ParseRequest(std::string_view received);

// Lines holding "\r" or "\n" (a message box's line breaks) travel as several lines.
std::string EncodeAnswer(const ControlAnswer& answer);
// nullopt for anything but one whole answer.
std::optional<ControlAnswer> ParseAnswer(std::string_view received);

}  // namespace ruvo
