#pragma once

#include <map>
#include <set>
#include <string>

namespace xruvo_sim {

// The ECR's hardware and fiscal conditions, set by fault injection. They show in the
// "1215" status characters and make the commands that need the part fail.
struct Conditions {
  bool paperOut = false;
  bool paperNearEnd = false;
  bool coverOpen = false;
  bool cutterError = false;
  bool mfAbsent = false;
  bool mfFull = false;
  bool jeAbsent = false;
  bool jeFull = false;
  bool jeAlmostFull = false;
  bool displayAbsent = false;
  bool notFiscalized = false;
  bool zDue = false;                   // 24 hours since the last Z: sales refused with 61
  bool export87Once = false;           // the next "6416" is refused with 87
  std::set<int> refusedPayments;       // payment codes refused with 99 / 137
  std::map<int, char> statusOverride;  // 1-based "1215" position -> character
};

// The "1215" characters of a healthy, fiscalized ECR with no document open.
inline constexpr const char* kHealthyStatus = "00010011010010000000";

}  // namespace xruvo_sim
