#pragma once
// The HTTP side of the service: routes, the bearer-token rule, the queue that lets one request at
// a time reach the registrator, and the Idempotency-Key answers. Requests are checked whole before
// they queue; a bad one gets 400 and sends nothing.

#include <atomic>
#include <map>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "session/device_options.h"
#include "server/connection.h"
#include "server/idempotency.h"
#include "server/service.h"

namespace kovrix::server {

struct ServerConfig {
  session::DeviceOptions device;            // port, speed, repeat count, session log
  std::string host = "127.0.0.1";
  int port = 8720;                // 0 = any free port
  std::string token;              // empty = no Authorization needed
  std::string answersDirectory;   // Idempotency-Key answers; empty = keys refused
  std::vector<std::string> allowedOrigins;  // Origin headers accepted; any other Origin is refused
  ConnectionLimits limits;
};

/// Serves the requests one at a time in the order they arrive.
class TurnQueue {
 public:
  class Turn {
   public:
    explicit Turn(TurnQueue& q);
    ~Turn();
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;

   private:
    TurnQueue& q_;
  };

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::uint64_t next_ = 0;
  std::uint64_t serving_ = 0;
};

class HttpService {
 public:
  explicit HttpService(ServerConfig config);
  ~HttpService();
  HttpService(const HttpService&) = delete;
  HttpService& operator=(const HttpService&) = delete;

  /// Binds the listening socket; false when the address cannot be bound.
  bool Bind();
  /// Answers the bound port (after Bind).
  int port() const { return port_; }
  /// Serves until Stop; the request in progress is finished first.
  void Listen();
  /// Stops serving (from any thread).
  void Stop();

 private:
  void Routes();
  /// Refuses a request that fails the rules every request passes (Host, Origin, token, method,
  /// Content-Type) with its answer; true when it was refused.
  bool Refused(const httplib::Request& req, httplib::Response& res) const;

  ServerConfig config_;
  std::unique_ptr<BoundedServer> http_;
  std::map<std::string, std::string> allowed_;  // path -> the methods it takes, for 405
  Service service_;
  IdempotencyStore answers_;
  TurnQueue queue_;
  int port_ = 0;
  std::atomic<bool> listening_{false};
  std::atomic<bool> listened_{false};
  std::atomic<bool> stopping_{false};
};

/// Answers the OpenAPI description of the service.
const std::string& OpenApiText();

/// Answers whether a listen host is a loopback one: an IPv4 address in 127.0.0.0/8, the IPv6
/// address ::1 (bracketed or not, or 127.x mapped into IPv6), or the name "localhost". Any other
/// name (127.evil.invalid) is not.
bool IsLoopback(const std::string& host);

/// Answers whether a Host header names the service: a loopback host, the listen host itself, or
/// any host when the service listens on every address (0.0.0.0 or ::, where a token is required).
/// The port part is not compared.
bool HostAllowed(const std::string& hostHeader, const std::string& listenHost);

/// Answers whether a Content-Type header is application/json (parameters such as charset allowed).
bool IsJsonContentType(const std::string& contentType);

/// Answers whether an Authorization header carries the token with the Bearer scheme (the scheme
/// in any case); the token is compared in constant time.
bool BearerMatches(const std::string& authorization, const std::string& token);

}  // namespace kovrix::server
