#include "http/HttpServer.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "http/Problem.h"
#include "http/RequestHead.h"
#include "platform/Log.h"

namespace ruvo::http {

// One request on its way: collected over the library's calls, then answered or waiting.
struct HttpServer::Exchange {
  MHD_Connection* connection = nullptr;
  HttpRequest request;
  bool tooLarge = false;
  bool started = false;
  std::string waitKey;
  bool replayed = false;
  std::int64_t deadlineMs = 0;
  bool resumed = false;
  std::optional<OperationCall> operation;  // a manual operation, queued until it is answered
  std::optional<HttpResponse> reply;       // its answer, given when the request is resumed
};

namespace {

constexpr const char* kTlsPriorities = "NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2";

MHD_Result CollectHeader(void* cls, MHD_ValueKind, const char* key, const char* value) {
  auto& request = *static_cast<HttpRequest*>(cls);
  const std::string name = LowerAscii(key);
  const std::string text = value != nullptr ? value : "";
  const auto [first, added] = request.headers.emplace(name, text);
  // Two lengths that differ leave the body's end to whoever reads it (RFC 9112: 400).
  const bool conflicting = !added && name == "content-length" && first->second != text;
  if (!added && (IsSingleHeader(name) || conflicting) && request.repeatedHeader.empty()) {
    request.repeatedHeader = name;
  }
  return MHD_YES;
}

MHD_Result CollectArgument(void* cls, MHD_ValueKind, const char* key, const char* value) {
  auto& query = *static_cast<std::map<std::string, std::string>*>(cls);
  query.emplace(key, value != nullptr ? value : "");
  return MHD_YES;
}

MHD_Result AccessHandler(void* cls, MHD_Connection* connection, const char* url, const char* method,
                         const char*, const char* uploadData, size_t* uploadSize, void** state) {
  return static_cast<HttpServer*>(cls)->OnRequest(connection, url, method, uploadData, uploadSize,
                                                  state) != 0
             ? MHD_YES
             : MHD_NO;
}

void Completed(void* cls, MHD_Connection* connection, void** state, MHD_RequestTerminationCode) {
  static_cast<HttpServer*>(cls)->OnCompleted(connection, state);
}

void ConnectionChanged(void* cls, MHD_Connection* connection, void**,
                       MHD_ConnectionNotificationCode code) {
  static_cast<HttpServer*>(cls)->OnConnection(connection, code == MHD_CONNECTION_NOTIFY_STARTED);
}

void LibraryLog(void*, const char* format, va_list arguments) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, arguments);
  std::string line = text;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  Log(LogLevel::Warning, "HTTP: " + line);
}

// Whether the socket is one a killed server left: nothing listens, a connection is
// refused. The probe never waits; a listener whose queue is full is still there, and a
// socket that cannot be tried is not taken from whoever it may be.
bool LeftBehind(const sockaddr_un& name) {
  const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (probe < 0) return false;
  const bool refused =
      ::connect(probe, reinterpret_cast<const sockaddr*>(&name), sizeof name) != 0 &&
      errno == ECONNREFUSED;
  ::close(probe);
  return refused;
}

}  // namespace

HttpServer::HttpServer(const ListenAddress& address, HttpApi& api, HttpReceipts& receipts,
                       IClock& clock, const TlsIdentity* tls)
    : api_(api), receipts_(receipts), clock_(clock) {
  unsigned int flags = MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG;
  if (tls != nullptr) {
    if (MHD_is_feature_supported(MHD_FEATURE_TLS) != MHD_YES) {
      problem_ = "the HTTP library was built without TLS";
      return;
    }
    flags |= MHD_USE_TLS;
    certificatePem_ = tls->certificatePem;
    keyPem_ = tls->keyPem;
  }
  sockaddr_in v4{};
  sockaddr_in6 v6{};
  const sockaddr* bindTo = nullptr;
  if (address.unixSocket) {
    if (!OpenUnixSocket(address.path)) return;
  } else if (address.Ipv6()) {
    flags |= MHD_USE_IPv6;
    v6.sin6_family = AF_INET6;
    v6.sin6_port = htons(address.port);
    ::inet_pton(AF_INET6, address.host.c_str(), &v6.sin6_addr);
    bindTo = reinterpret_cast<const sockaddr*>(&v6);
  } else {
    v4.sin_family = AF_INET;
    v4.sin_port = htons(address.port);
    ::inet_pton(AF_INET, address.host.c_str(), &v4.sin_addr);
    bindTo = reinterpret_cast<const sockaddr*>(&v4);
  }
  // The logger first, so that the library's own messages from the other options reach it.
  MHD_OptionItem options[] =
      {{MHD_OPTION_EXTERNAL_LOGGER, reinterpret_cast<intptr_t>(&LibraryLog), nullptr},
       {MHD_OPTION_CONNECTION_LIMIT, kMaxConnections, nullptr},
       {MHD_OPTION_CONNECTION_TIMEOUT, kIdleSeconds, nullptr},
       {MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<intptr_t>(kHeaderBytes), nullptr},
       {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&Completed), this},
       {MHD_OPTION_NOTIFY_CONNECTION, reinterpret_cast<intptr_t>(&ConnectionChanged), this},
       {bindTo != nullptr ? MHD_OPTION_SOCK_ADDR : MHD_OPTION_LISTEN_SOCKET,
        bindTo != nullptr ? 0 : unixSocket_, const_cast<sockaddr*>(bindTo)},
       // Without TLS the list ends here: the library complains of TLS options without TLS.
       {tls != nullptr ? MHD_OPTION_HTTPS_MEM_CERT : MHD_OPTION_END, 0,
        const_cast<char*>(certificatePem_.c_str())},
       {MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char*>(keyPem_.c_str())},
       // TLS 1.2 and 1.3 only: what a till of these years speaks, without the old versions'
       // weaknesses.
       {MHD_OPTION_HTTPS_PRIORITIES, 0, const_cast<char*>(kTlsPriorities)},
       {MHD_OPTION_END, 0, nullptr}};
  daemon_ = MHD_start_daemon(flags, address.port, nullptr, nullptr, &AccessHandler, this,
                             MHD_OPTION_ARRAY, options, MHD_OPTION_END);
  if (daemon_ == nullptr) {
    problem_ = "cannot listen on " + (address.unixSocket ? address.path : address.HostHeader()) +
               " (" + std::strerror(errno) + ")";
    if (unixSocket_ >= 0) ::close(unixSocket_);
    unixSocket_ = -1;
    return;
  }
  const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_EPOLL_FD);
  fd_ = info != nullptr ? info->epoll_fd : -1;
}

HttpServer::~HttpServer() {
  if (daemon_ != nullptr) {
    // The library wants no request suspended when it stops.
    for (Exchange* exchange : suspended_) MHD_resume_connection(exchange->connection);
    for (Exchange* exchange : operations_) MHD_resume_connection(exchange->connection);
    suspended_.clear();
    operations_.clear();
    MHD_stop_daemon(daemon_);
  }
  if (!unixPath_.empty()) ::unlink(unixPath_.c_str());
}

bool HttpServer::OpenUnixSocket(const std::string& path) {
  sockaddr_un name{};
  name.sun_family = AF_UNIX;
  std::strncpy(name.sun_path, path.c_str(), sizeof name.sun_path - 1);
  // Whoever may write the folder may take the socket's name first, and have the tills send
  // him the token, or swap the name for a link between the bind and the chmod.
  const std::string folder = path.substr(0, path.find_last_of('/') + 1);
  struct stat parent {};
  // (A folder that cannot be looked at fails at the bind, which says why.)
  if (::stat(folder.empty() ? "." : folder.c_str(), &parent) == 0 &&
      (parent.st_mode & S_IWOTH) != 0) {
    problem_ = path + " is in a folder other users can write";
    return false;
  }
  struct stat existing {};
  // A socket a killed driver left goes; one that another server still listens on, or any
  // other entry in its place, stays, and so do we.
  if (::lstat(path.c_str(), &existing) == 0) {
    if (!S_ISSOCK(existing.st_mode)) {
      problem_ = path + " exists and is no socket";
      return false;
    }
    if (!LeftBehind(name)) {
      problem_ = path + " is another server's socket";
      return false;
    }
    ::unlink(path.c_str());
  }
  unixSocket_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const bool ok = unixSocket_ >= 0 &&
                  ::bind(unixSocket_, reinterpret_cast<const sockaddr*>(&name), sizeof name) == 0 &&
                  ::chmod(path.c_str(), 0660) == 0 &&
                  ::listen(unixSocket_, static_cast<int>(kMaxConnections)) == 0;
  if (!ok) {
    problem_ = "cannot listen on " + path + " (" + std::strerror(errno) + ")";
    if (unixSocket_ >= 0) ::close(unixSocket_);
    unixSocket_ = -1;
    return false;
  }
  unixPath_ = path;
  return true;
}

void HttpServer::RunLibrary() {
  // The library reads a socket once a run, and its epoll descriptor tells only of new
  // events: what a socket still holds (the rest of a body sent at loopback speed, a TLS
  // record already read) would wait for the loop's next turn, a tenth of a second later.
  // So it runs again while it says it has work at once; the bound keeps one busy client
  // from holding the loop (a whole body of the limit takes a few dozen runs).
  constexpr int kMaxRuns = 256;
  for (int run = 0; run < kMaxRuns; ++run) {
    MHD_run(daemon_);
    MHD_UNSIGNED_LONG_LONG timeout = 0;
    if (MHD_get_timeout(daemon_, &timeout) != MHD_YES || timeout != 0) return;
  }
}

void HttpServer::Serve() {
  if (daemon_ == nullptr) return;
  RunLibrary();
  CutOffLateArrivals();
  ResumeAnswered();
  RunQueuedOperations();
}

void HttpServer::RunQueuedOperations() {
  // Each queued request is asked once per call; one nested inside a running operation
  // sees only those not taken yet. The depth bounds the nesting of the few the control
  // code runs inside another (a report's stop).
  constexpr int kMaxDepth = 2;
  if (operationDepth_ >= kMaxDepth) return;
  bool answered = false;
  for (std::size_t turns = operations_.size(); turns > 0 && !operations_.empty(); --turns) {
    Exchange* exchange = operations_.front();
    operations_.pop_front();
    ++operationDepth_;
    std::optional<HttpResponse> reply = api_.RunOperation(exchange->request, *exchange->operation);
    --operationDepth_;
    if (!reply) {
      operations_.push_back(exchange);
      continue;
    }
    exchange->reply = std::move(reply);
    exchange->resumed = true;
    MHD_resume_connection(exchange->connection);
    answered = true;
  }
  if (answered) RunLibrary();
}

void HttpServer::ResumeAnswered() {
  bool resumed = false;
  const std::int64_t now = clock_.MonotonicMs();
  for (auto exchange = suspended_.begin(); exchange != suspended_.end();) {
    const KeyRecord* record = receipts_.Find((*exchange)->waitKey);
    if (record == nullptr || record->Answered() || now >= (*exchange)->deadlineMs) {
      (*exchange)->resumed = true;
      MHD_resume_connection((*exchange)->connection);
      exchange = suspended_.erase(exchange);
      resumed = true;
    } else {
      ++exchange;
    }
  }
  if (resumed) RunLibrary();
}

bool HttpServer::HasWaiting() const {
  if (daemon_ == nullptr) return false;
  if (!suspended_.empty() || !operations_.empty() || receipts_.WaitingCount() > 0) return true;
  const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_CURRENT_CONNECTIONS);
  return info != nullptr && info->num_connections > 0;
}

void HttpServer::Respond(MHD_Connection* connection, const HttpResponse& response) {
  MHD_Response* reply =
      MHD_create_response_from_buffer(response.body.size(), const_cast<char*>(response.body.data()),
                                      MHD_RESPMEM_MUST_COPY);
  if (reply == nullptr) return;
  for (const auto& [name, value] : response.headers) {
    MHD_add_response_header(reply, name.c_str(), value.c_str());
  }
  MHD_add_response_header(reply, "Cache-Control", "no-store");
  MHD_queue_response(connection, static_cast<unsigned int>(response.status), reply);
  MHD_destroy_response(reply);
}

int HttpServer::OnRequest(MHD_Connection* connection, const char* url, const char* method,
                          const char* uploadData, std::size_t* uploadSize, void** state) {
  auto* exchange = static_cast<Exchange*>(*state);
  if (exchange == nullptr) {
    // Owned by the library's connection from here on: OnCompleted deletes it when the
    // request ends, however it ends.
    exchange = new Exchange;
    exchange->connection = connection;
    exchange->request.method = method;
    exchange->request.path = url;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, &CollectHeader, &exchange->request);
    MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, &CollectArgument,
                              &exchange->request.query);
    *state = exchange;
    // Refused from its head alone: answered now, so the library reads no body and never
    // asks for it with "100 Continue".
    if (std::optional<HttpResponse> refusal = HeadRefusal(exchange->request, kMaxBodyBytes)) {
      exchange->started = true;
      if (auto open = arriving_.find(connection); open != arriving_.end()) open->second = kWhole;
      // A page of an allowed origin reads why (the origin itself is checked with the rest).
      api_.AddCorsHeaders(exchange->request, *refusal);
      Respond(connection, *refusal);
    }
    return 1;
  }
  if (*uploadSize != 0) {
    if (!exchange->tooLarge && exchange->request.body.size() + *uploadSize <= kMaxBodyBytes) {
      exchange->request.body.append(uploadData, *uploadSize);
    } else {
      exchange->tooLarge = true;
    }
    *uploadSize = 0;
    return 1;
  }
  if (exchange->resumed) {
    Respond(connection, exchange->reply ? *exchange->reply
                                        : api_.AfterWait(exchange->request, exchange->waitKey,
                                                         exchange->replayed));
    return 1;
  }
  if (exchange->started) return 1;
  exchange->started = true;
  if (auto open = arriving_.find(connection); open != arriving_.end()) open->second = kWhole;
  if (exchange->tooLarge) {  // a body without a length (chunked) that grew too large
    Respond(connection, MakeProblem(413, "too-large", "Cerere prea mare",
                                    "Corpul cererii are cel mult " + std::to_string(kMaxBodyBytes) +
                                        " octeti"));
    return 1;
  }
  HttpApi::Outcome outcome = api_.Handle(exchange->request);
  if (outcome.operation) {
    exchange->operation = std::move(outcome.operation);
    operations_.push_back(exchange);
    MHD_suspend_connection(connection);
    return 1;
  }
  if (!outcome.waitKey) {
    Respond(connection, outcome.response);
    return 1;
  }
  exchange->waitKey = *outcome.waitKey;
  exchange->replayed = outcome.replayed;
  exchange->deadlineMs = clock_.MonotonicMs() + outcome.waitMs;
  suspended_.push_back(exchange);
  MHD_suspend_connection(connection);
  return 1;
}

void HttpServer::OnConnection(MHD_Connection* connection, bool opened) {
  if (opened) {
    arriving_[connection] = clock_.MonotonicMs();
  } else {
    arriving_.erase(connection);
  }
}

void HttpServer::CutOffLateArrivals() {
  const std::int64_t now = clock_.MonotonicMs();
  for (auto& [connection, since] : arriving_) {
    if (since == kWhole || now - since < static_cast<std::int64_t>(kArrivalSeconds) * 1000) {
      continue;
    }
    // The library closes the connection at its next run, when it finds the socket shut.
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (info != nullptr) ::shutdown(info->connect_fd, SHUT_RDWR);
    since = kWhole;
  }
}

void HttpServer::OnCompleted(MHD_Connection* connection, void** state) {
  // A connection kept alive: its next request begins to arrive now.
  if (auto open = arriving_.find(connection); open != arriving_.end()) {
    open->second = clock_.MonotonicMs();
  }
  auto* exchange = static_cast<Exchange*>(*state);
  if (exchange == nullptr) return;
  suspended_.remove(exchange);
  operations_.remove(exchange);
  delete exchange;
  *state = nullptr;
}

}  // namespace ruvo::http
