#include "platform/ServiceNotify.h"

#ifdef RUVO_WITH_SYSTEMD
#include <systemd/sd-daemon.h>
#endif

namespace ruvo {

namespace service_notify {

namespace {

void Send(const std::string& message) {
#ifdef RUVO_WITH_SYSTEMD
  // A service manager that cannot be told is no reason to stop printing receipts.
  ::sd_notify(0, message.c_str());
#else
  (void)message;
#endif
}

// One line of text: a line break would end the STATUS= message early.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

}  // namespace

bool Available() {
#ifdef RUVO_WITH_SYSTEMD
  return true;
#else
  return false;
#endif
}

void Ready(const std::string& status) { Send("READY=1\nSTATUS=" + OneLine(status)); }
void Status(const std::string& status) { Send("STATUS=" + OneLine(status)); }
void Alive() { Send("WATCHDOG=1"); }
void Stopping() { Send("STOPPING=1\nSTATUS=DRIVER INCHIS"); }

}  // namespace service_notify

void ServiceWatchdog::Beat() {
  const std::int64_t now = clock_.MonotonicMs();
  if (lastMs_ >= 0 && now - lastMs_ < 1000) return;
  lastMs_ = now;
  service_notify::Alive();
}

}  // namespace ruvo
