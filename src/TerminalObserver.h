#pragma once

#include <string>

#include "app/Driver.h"
#include "app/DriverObserver.h"

namespace ruvo {

// Tells the log and systemd's status line when the connected label or the processing
// state changes, which is what the window would show.
class TerminalObserver final : public IDriverObserver {
 public:
  explicit TerminalObserver(const Driver& driver) : driver_(driver) {}
  void StateChanged() override;
  std::string Text() const { return state_ + ", " + label_ + (note_.empty() ? "" : "; " + note_); }
  // A line more for the service's status: what does not work beside the ECR's link.
  void SetNote(const std::string& note) { note_ = note; }

 private:
  const Driver& driver_;
  std::string note_;
  // What the driver looks like before it starts, so the first line says it started.
  std::string label_ = "Neconectat la casa";
  std::string state_ = "STOP PROCESARE";
};

}  // namespace ruvo
