#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <string>

#include "http/HttpApi.h"
#include "http/HttpSettings.h"
#include "http/TlsIdentity.h"
#include "platform/Clock.h"

struct MHD_Daemon;
struct MHD_Connection;

namespace ruvo::http {

// The HTTP/1.1 server (libmicrohttpd) in the driver's own loop: the library runs no thread
// of its own; it keeps its sockets in one epoll descriptor, Fd(), which the loop watches
// beside the others, and the loop calls Serve() on the driver's thread when it is readable
// and at every turn. Serve never waits: the library reads and writes only what the sockets
// take at once, so a slow or hostile client holds up no receipt file. A request that waits
// for a receipt's answer is suspended (its socket left alone) and resumed by Serve once
// the answer is there or its time is up.
//
// A manual operation runs for seconds on the driver's thread and serves the loop meanwhile,
// Serve included; the library must never be entered again from its own callback. So its
// request is suspended and queued, and Serve runs it after the library's run has returned,
// then resumes the request with the answer. Serve called from inside that run (the
// operation's waits) hands the other queued requests to the control code too, which refuses
// a second operation at once, stops a printing report, and holds up (nullopt) what must
// wait for the work to end: those stay queued.
//
// Bounds: kMaxConnections at once (and as many from one address), kIdleSeconds without a
// byte and a connection is closed, kArrivalSeconds for a request to arrive whole (from the
// connection's start or its previous answer; a client that trickles its bytes is cut off),
// kHeaderBytes for a request's line and headers, kMaxBodyBytes for its body (413 beyond,
// told from Content-Length before the body is read).
//
// With a TLS identity it speaks HTTPS only (the library's GnuTLS), on the same loop.
class HttpServer {
 public:
  static constexpr unsigned kMaxConnections = 32;
  static constexpr unsigned kIdleSeconds = 10;
  static constexpr unsigned kArrivalSeconds = 10;
  static constexpr std::size_t kHeaderBytes = 32 * 1024;
  static constexpr std::size_t kMaxBodyBytes = 1024 * 1024;

  HttpServer(const ListenAddress& address, HttpApi& api, HttpReceipts& receipts, IClock& clock,
             const TlsIdentity* tls = nullptr);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  bool Listening() const { return daemon_ != nullptr; }
  const std::string& Problem() const { return problem_; }
  int Fd() const { return fd_; }

  // Serves what the sockets hold, answers the waits that can be answered.
  void Serve();
  // Connections are open or requests wait: Serve must run again soon even when Fd() stays
  // quiet (idle time-outs, answers that arrive by the receipt file cycle).
  bool HasWaiting() const;

  // The library's entry points (public only for its C callbacks).
  struct Exchange;
  int OnRequest(MHD_Connection* connection, const char* url, const char* method,
                const char* uploadData, std::size_t* uploadSize, void** state);
  void OnCompleted(MHD_Connection* connection, void** state);
  void OnConnection(MHD_Connection* connection, bool opened);

 private:
  bool OpenUnixSocket(const std::string& path);
  void RunLibrary();
  void Respond(MHD_Connection* connection, const HttpResponse& response);
  void ResumeAnswered();
  void RunQueuedOperations();
  void CutOffLateArrivals();

  HttpApi& api_;
  HttpReceipts& receipts_;
  IClock& clock_;
  MHD_Daemon* daemon_ = nullptr;
  int fd_ = -1;
  int unixSocket_ = -1;
  std::string unixPath_;
  std::string problem_;
  std::string certificatePem_;  // the library reads them when it starts
  std::string keyPem_;
  std::list<Exchange*> suspended_;
  std::list<Exchange*> operations_;  // queued, in their order of arrival
  int operationDepth_ = 0;           // queued operations running now, one inside another
  // Every open connection, with the time its next request began to arrive; kWhole once it
  // has (it may then wait for its answer as long as it asked).
  static constexpr std::int64_t kWhole = -1;
  std::map<MHD_Connection*, std::int64_t> arriving_;
};

}  // namespace ruvo::http
