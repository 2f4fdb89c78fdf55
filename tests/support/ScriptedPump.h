#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/Clock.h"
#include "platform/EventPump.h"

namespace ruvo::testing {

// An event pump that does what a person or a script would do during a wait: each step runs
// once, at the first pump on or after its time on the clock (virtual time), as a click or
// a control request arriving meanwhile would run.
class ScriptedPump final : public IEventPump {
 public:
  explicit ScriptedPump(IClock& clock, int sliceMs = 100) : clock_(clock), sliceMs_(sliceMs) {}

  void At(std::int64_t ms, std::function<void()> step) {
    steps_.push_back({ms, std::move(step), false});
  }

  void Pump() override {
    ++pumps;
    for (std::size_t k = 0; k < steps_.size(); ++k) {
      if (steps_[k].done || clock_.MonotonicMs() < steps_[k].atMs) continue;
      steps_[k].done = true;
      // A copy: a step may add steps.
      const std::function<void()> step = steps_[k].step;
      step();
    }
  }
  int SliceMs() const override { return sliceMs_; }

  bool AllDone() const {
    for (const Step& step : steps_) {
      if (!step.done) return false;
    }
    return true;
  }

  int pumps = 0;

 private:
  struct Step {
    std::int64_t atMs;
    std::function<void()> step;
    bool done;
  };
  IClock& clock_;
  int sliceMs_;
  std::vector<Step> steps_;
};

}  // namespace ruvo::testing
