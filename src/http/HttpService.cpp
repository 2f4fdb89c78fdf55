#include "http/HttpService.h"

#include "app/Driver.h"
#include "app/SettingsFile.h"
#include "console/ControlCommands.h"
#include "http/AccessToken.h"
#include "http/DriverStatus.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/Log.h"

namespace ruvo::http {

std::unique_ptr<HttpService> HttpService::Start(const std::string& workingFolder, Driver& driver,
                                                IClock& clock, std::string* failure) {
  const auto fail = [failure](const std::string& why) {
    Log(LogLevel::Error, "HTTP: " + why + "; no HTTP server");
    if (failure != nullptr) *failure = why;
    return nullptr;
  };
  IniFile ini;
  if (!ini.Load(JoinPath(workingFolder, kSettingsFileName))) return nullptr;
  const HttpSettings settings = ReadHttpSettings(ini);
  if (!settings.enabled) return nullptr;
  const std::optional<ListenAddress> address = ParseListenAddress(settings.address);
  if (!address) {
    return fail("AdresaHttp=" + settings.address +
                " is no address (127.0.0.1:8765, [::1]:8765 or a socket path)");
  }
  std::string problem;
  const std::optional<std::string> token = LoadOrMakeToken(workingFolder, problem);
  if (!token) return fail(problem);
  if (!address->Loopback()) {
    Log(LogLevel::Warning, "HTTP: listening on " + address->HostHeader() +
                               ", beyond this computer; the token guards every receipt");
  }
  auto service =
      std::make_unique<HttpService>(settings, *address, *token, workingFolder, driver, clock);
  if (!service->Ready()) return fail(service->Problem());
  Log(LogLevel::Info,
      "HTTP: listening on " + (address->unixSocket ? address->path : address->HostHeader()));
  return service;
}

HttpService::HttpService(const HttpSettings& settings, const ListenAddress& address,
                         std::string token, const std::string& workingFolder, Driver& driver,
                         IClock& clock)
    : receipts_(workingFolder, clock, settings.keepDays),
      guard_(AcceptedHosts(address.HostHeader(), address.Loopback(), address.unixSocket,
                           settings.extraHosts),
             settings.corsOrigins, std::move(token)),
      api_(
          receipts_, guard_, [this, &driver] { return DriverStatusJson(driver, receipts_); },
          settings.defaultWaitSeconds,
          [&driver](const std::vector<std::string>& arguments) {
            return ServeControlRequest(driver, arguments);
          }),
      opened_(receipts_.Open(problem_)),
      server_(address, api_, receipts_, clock) {
  // The channel of a receipt file is its suffix: the one the cycle runs now.
  receipts_.SetRunningChannel([&driver] { return driver.RunningSuffix(); });
  if (opened_ && !server_.Listening()) problem_ = server_.Problem();
}

void HttpService::Serve() {
  receipts_.Advance();
  server_.Serve();
}

}  // namespace ruvo::http
