#pragma once

#include <cstdint>
#include <string>

#include "platform/Clock.h"
#include "platform/EventPump.h"

namespace ruvo {

// Tells the service manager (a unit of Type=notify) how the driver is: ready once it has
// started, its state in words, alive (the watchdog), stopping. Does nothing when no
// service manager asked ($NOTIFY_SOCKET unset) or in a build without libsystemd.
namespace service_notify {

// Whether this build can tell the service manager anything.
bool Available();
void Ready(const std::string& status);
void Status(const std::string& status);
void Alive();
void Stopping();

}  // namespace service_notify

// Tells the service manager that the driver is alive, at most once a second however often
// it is called: at every turn of the event loop, and through AlivePump during the ECR's
// long waits, which run no loop.
class ServiceWatchdog {
 public:
  explicit ServiceWatchdog(IClock& clock) : clock_(clock) {}
  void Beat();

 private:
  IClock& clock_;
  std::int64_t lastMs_ = -1;
};

// A pump that beats the watchdog besides pumping what it wraps.
class AlivePump final : public IEventPump {
 public:
  AlivePump(IEventPump& inner, ServiceWatchdog& watchdog) : inner_(inner), watchdog_(watchdog) {}
  void Pump() override {
    watchdog_.Beat();
    inner_.Pump();
  }
  int SliceMs() const override { return inner_.SliceMs(); }

 private:
  IEventPump& inner_;
  ServiceWatchdog& watchdog_;
};

}  // namespace ruvo
