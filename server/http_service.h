#pragma once
// The HTTP side of the service: routes, the bearer-token rule, the queue that lets one request at
// a time reach the registrator, and the Idempotency-Key answers. Requests are checked whole before
// they queue; a bad one gets 400 and sends nothing.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "cli/options.h"
#include "server/idempotency.h"
#include "server/service.h"

namespace httplib {
class Server;
}

namespace kovrix::server {

struct ServerConfig {
  cli::Options device;            // port, speed, repeat count, session log
  std::string host = "127.0.0.1";
  int port = 8720;                // 0 = any free port
  std::string token;              // empty = no Authorization needed
  std::string answersDirectory;   // Idempotency-Key answers; empty = keys refused
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

  ServerConfig config_;
  std::unique_ptr<httplib::Server> http_;
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

/// Answers whether a host name or address is a loopback one (127.0.0.0/8, ::1, localhost).
bool IsLoopback(const std::string& host);

}  // namespace kovrix::server
