#pragma once

#include <memory>
#include <string>

#include "http/HttpApi.h"
#include "http/HttpReceipts.h"
#include "http/HttpServer.h"
#include "http/HttpSettings.h"
#include "http/RequestGuard.h"
#include "http/TlsIdentity.h"
#include "platform/Clock.h"

namespace ruvo {
class Driver;
}

namespace ruvo::http {

// The HTTP server of a driver as the composition root uses it: settings, token, the
// receipts' records, the API and the server, built from the working folder's settings.
// The manual operations run on the driver through the control socket's own code.
// The line ctl status and the service's status carry while the server asked for is down.
inline const std::string kHttpStoppedLine = "Server HTTP oprit: ";

class HttpService {
 public:
  // The service when "ServerHttp=DA" and everything it needs is there; null otherwise
  // (what went wrong is on the log and, when the settings asked for the server, in failure,
  // for the service's status; the driver runs on without it).
  static std::unique_ptr<HttpService> Start(const std::string& workingFolder, Driver& driver,
                                            IClock& clock, std::string* failure = nullptr);

  // tls: the identity of an HTTPS server; null for plain HTTP. hosts: the Host values
  // accepted besides the bound address (AcceptedHosts' extra names).
  HttpService(const HttpSettings& settings, const ListenAddress& address, std::string token,
              const std::string& workingFolder, Driver& driver, IClock& clock,
              const TlsIdentity* tls, const std::vector<std::string>& hosts);
  ~HttpService();
  HttpService(const HttpService&) = delete;
  HttpService& operator=(const HttpService&) = delete;

  bool Ready() const { return opened_ && server_.Listening(); }
  const std::string& Problem() const { return problem_; }

  // The descriptor the loop watches; Serve when it is readable, and at every turn.
  int Fd() const { return server_.Fd(); }
  void Serve();
  // Serve must run again soon (within a tenth of a second) even when Fd() stays quiet.
  bool HasWaiting() const { return server_.HasWaiting(); }

 private:
  HttpReceipts receipts_;
  RequestGuard guard_;
  HttpApi api_;
  std::string problem_;
  bool opened_ = false;
  Driver& driver_;
  std::size_t damageShown_ = 0;  // damaged records in the driver's warnings
  HttpServer server_;
};

}  // namespace ruvo::http
