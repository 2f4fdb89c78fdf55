#include "app/SaveTroubles.h"

#include <algorithm>

#include "platform/Log.h"

namespace ruvo {

namespace {

std::string StderrText(SaveTroubles::Cause cause, const std::string& subject, bool failing) {
  switch (cause) {
    case SaveTroubles::Cause::Journal:
      return failing ? "cannot save the journal " + subject + "; receipt files wait"
                     : "the journal " + subject + " is saved again";
    case SaveTroubles::Cause::JournalUnreadable:
      return failing ? "cannot read the journal " + subject + "; receipt files wait"
                     : "the journal " + subject + " is read again";
    case SaveTroubles::Cause::JournalDamaged:
      return failing ? "the journal " + subject +
                           " is damaged; receipt files wait until it is checked and removed"
                     : "the damaged journal " + subject + " is gone";
    case SaveTroubles::Cause::Answer:
      return failing ? "cannot write the response file " + subject + "; its receipt file waits"
                     : "the response file " + subject + " is written again";
    case SaveTroubles::Cause::KeptAnswer:
      return failing ? "cannot keep the answer in " + subject + "; its receipt file waits"
                     : "the answer is kept in " + subject + " again";
  }
  return {};
}

}  // namespace

bool SaveTroubles::Set(Cause cause, const std::string& subject, bool failing) {
  const Trouble trouble{cause, subject};
  const auto found = std::find(active_.begin(), active_.end(), trouble);
  if (failing == (found != active_.end())) return false;
  if (failing) {
    active_.push_back(trouble);
  } else {
    active_.erase(found);
  }
  // Through the log, so that a service's journal files the failure as a warning.
  Log(failing ? LogLevel::Warning : LogLevel::Info, StderrText(cause, subject, failing));
  return true;
}

bool SaveTroubles::Clear(Cause cause) {
  bool changed = false;
  for (const Trouble& t : std::vector<Trouble>(active_)) {
    if (t.cause == cause) changed = Set(cause, t.subject, false) || changed;
  }
  return changed;
}

bool SaveTroubles::Has(Cause cause) const {
  return std::any_of(active_.begin(), active_.end(),
                     [&](const Trouble& t) { return t.cause == cause; });
}

std::vector<std::string> SaveTroubles::WarningLines() const {
  std::vector<std::string> lines;
  for (const Trouble& t : active_) {
    switch (t.cause) {
      case Cause::Journal:
        lines.push_back("Atentie ! Nu pot salva jurnalul " + t.subject + " ! Bonurile asteapta.");
        break;
      case Cause::JournalUnreadable:
        lines.push_back("Atentie ! Nu pot citi jurnalul " + t.subject + " ! Bonurile asteapta.");
        break;
      case Cause::JournalDamaged:
        lines.push_back(kDamagedJournalWarning + t.subject + kDamagedJournalAdvice);
        break;
      case Cause::Answer:
        lines.push_back("Atentie ! Nu pot scrie raspunsul " + t.subject + " ! Bonul asteapta.");
        break;
      case Cause::KeptAnswer:
        lines.push_back("Atentie ! Nu pot salva raspunsul in " + t.subject + " ! Bonul asteapta.");
        break;
    }
  }
  return lines;
}

}  // namespace ruvo
