#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "http/HttpApi.h"
#include "http/HttpSettings.h"
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
// Bounds: kMaxConnections at once (and as many from one address), kIdleSeconds without a
// byte and a connection is closed, kHeaderBytes for a request's line and headers,
// kMaxBodyBytes for its body (413 beyond).
class HttpServer {
 public:
  static constexpr unsigned kMaxConnections = 32;
  static constexpr unsigned kIdleSeconds = 10;
  static constexpr std::size_t kHeaderBytes = 32 * 1024;
  static constexpr std::size_t kMaxBodyBytes = 1024 * 1024;

  HttpServer(const ListenAddress& address, HttpApi& api, HttpReceipts& receipts, IClock& clock);
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
  void OnCompleted(void** state);

 private:
  bool OpenUnixSocket(const std::string& path);
  void Respond(MHD_Connection* connection, const HttpResponse& response);
  void ResumeAnswered();

  HttpApi& api_;
  HttpReceipts& receipts_;
  IClock& clock_;
  MHD_Daemon* daemon_ = nullptr;
  int fd_ = -1;
  int unixSocket_ = -1;
  std::string unixPath_;
  std::string problem_;
  std::list<Exchange*> suspended_;
};

}  // namespace ruvo::http
