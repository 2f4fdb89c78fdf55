#include "http/HttpService.h"

#include <ctime>

#include "app/Driver.h"
#include "app/SettingsFile.h"
#include "console/ControlCommands.h"
#include "http/AccessToken.h"
#include "http/DriverStatus.h"
#include "http/MachineNames.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/Log.h"

namespace ruvo::http {

std::unique_ptr<HttpService> HttpService::Start(const std::string& workingFolder, Driver& driver,
                                                IClock& clock, std::string* failure) {
  // A server the settings ask for and that does not run is told where the shop looks:
  // ctl status and the service's status line, not only the log.
  const auto fail = [&driver, failure](const std::string& why) {
    Log(LogLevel::Error, "HTTP: " + why + "; no HTTP server");
    driver.State().serviceLines = {kHttpStoppedLine + why};
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
  std::vector<std::string> hosts = MachineNames(*address);
  hosts.insert(hosts.end(), settings.extraHosts.begin(), settings.extraHosts.end());
  std::optional<TlsIdentity> tls;
  if (!address->PlainHttpAllowed()) {
    tls = LoadOrMakeTlsIdentity(workingFolder, settings.certificateFile, settings.keyFile,
                                CertificateNames(*address, hosts, {}), problem);
    if (!tls) {
      return fail("AdresaHttp=" + settings.address +
                  " is beyond 127.0.0.1, where the server speaks only HTTPS (in plain HTTP the "
                  "token and the receipts would cross the network in clear), and " +
                  problem);
    }
  }
  auto service = std::make_unique<HttpService>(settings, *address, *token, workingFolder, driver,
                                               clock, tls ? &*tls : nullptr, hosts);
  if (!service->Ready()) return fail(service->Problem());
  const std::string where = address->unixSocket ? address->path : address->HostHeader();
  if (!tls) {
    Log(LogLevel::Info, "HTTP: listening on " + where);
    return service;
  }
  const std::string certificate =
      (tls->madeHere ? "self-signed certificate " : "certificate ") + tls->certificateFile;
  Log(LogLevel::Info, "HTTP: listening on " + where + " in HTTPS only, " + certificate +
                          ", SHA-256 fingerprint " + tls->fingerprint + ", public key pin " +
                          tls->publicKeyPin);
  // Served all the same (the tills decide), but a shop must hear of it before they refuse.
  constexpr std::time_t kMonth = 30 * 24 * 60 * 60;
  if (tls->expires != static_cast<std::time_t>(-1) && tls->expires < std::time(nullptr) + kMonth) {
    char day[16] = {};
    std::tm parts{};
    if (::gmtime_r(&tls->expires, &parts) != nullptr)
      std::strftime(day, sizeof day, "%Y-%m-%d", &parts);
    Log(LogLevel::Warning,
        "HTTP: the certificate " + tls->certificateFile +
            (tls->expires < std::time(nullptr) ? " expired on " : " expires on ") + day +
            "; tills that check it will refuse the server");
  }
  // What ctl status tells, for the till's setup.
  driver.State().serviceLines = {"HTTPS: https://" + where, "Certificat: " + tls->certificateFile,
                                 "Amprenta SHA-256: " + tls->fingerprint,
                                 "Cheie publica: " + tls->publicKeyPin};
  return service;
}

HttpService::HttpService(const HttpSettings& settings, const ListenAddress& address,
                         std::string token, const std::string& workingFolder, Driver& driver,
                         IClock& clock, const TlsIdentity* tls,
                         const std::vector<std::string>& hosts)
    : receipts_(workingFolder, clock, settings.keepDays),
      guard_(AcceptedHosts(address.HostHeader(), address.Loopback(), address.unixSocket, hosts),
             settings.corsOrigins, std::move(token)),
      api_(
          receipts_, guard_, [this, &driver] { return DriverStatusJson(driver, receipts_); },
          settings.defaultWaitSeconds,
          [&driver](const std::vector<std::string>& arguments) {
            return ServeControlRequest(driver, arguments);
          }),
      opened_(receipts_.Open(problem_)),
      driver_(driver),
      server_(address, api_, receipts_, clock, tls) {
  // The channel of a receipt file is its suffix: the one the cycle runs now.
  receipts_.SetRunningChannel([&driver] { return driver.RunningSuffix(); });
  if (opened_) {
    driver.KeepAnswersWith(&receipts_);
    damageShown_ = receipts_.DamagedCount();
    driver.SetServiceWarnings(receipts_.DamageWarnings());
  }
  if (opened_ && !server_.Listening()) problem_ = server_.Problem();
}

HttpService::~HttpService() {
  driver_.KeepAnswersWith(nullptr);
  driver_.SetServiceWarnings({});
}

void HttpService::Serve() {
  receipts_.Advance();
  // Damage is found when the records are read and only goes after: told when it went.
  if (opened_ && receipts_.DamagedCount() != damageShown_) {
    damageShown_ = receipts_.DamagedCount();
    driver_.SetServiceWarnings(receipts_.DamageWarnings());
  }
  server_.Serve();
}

}  // namespace ruvo::http
