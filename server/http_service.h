#pragma once
// The HTTP side of the service: routes, the bearer-token rule, and for each registrator served the
// lane that lets one request at a time reach it, a bounded number waiting, and its Idempotency-Key
// answers. Every endpoint of a registrator answers under /v1/registrators/{id}/...; the paths
// without an id are the first registrator's. Requests are checked whole before they run; a bad one
// gets 400 and sends nothing.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "driver/link.h"
#include "server/auth_throttle.h"
#include "server/connection.h"
#include "server/metrics.h"
#include "server/monitoring.h"
#include "server/registrator.h"
#include "session/device_options.h"

namespace kovrix::server {

/// The id of the one registrator of the -p form.
inline const char* const kDefaultRegistratorId = "1";

/// A fixed set of threads that run tasks in the order they come: the registrators' states and
/// probes of every list and detection request run on one such set, as many threads as there are
/// registrators, however many requests come at once.
class AskerPool {
 public:
  explicit AskerPool(std::size_t threads);
  ~AskerPool();
  AskerPool(const AskerPool&) = delete;
  AskerPool& operator=(const AskerPool&) = delete;
  void Post(std::function<void()> task);

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> tasks_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

struct ServerConfig {
  session::DeviceOptions device;            // the -p form's one registrator, served when `registrators` is empty
  std::vector<RegistratorConfig> registrators;  // several registrators; the first answers the paths without an id
  LinkTiming linkTiming;                    // each registrator link's timing (tests shrink it)
  std::string host = "127.0.0.1";
  int port = 8720;                // 0 = any free port
  std::string token;              // empty = no Authorization needed
  AuthThrottle::Limits authThrottle;  // how failed tries of the token are slowed, per client address
  std::string answersDirectory;   // Idempotency-Key answers, one subdirectory per registrator id
                                  // (the -p form keeps them here itself); empty = keys refused
  std::vector<std::string> allowedOrigins;  // Origin headers accepted; any other Origin is refused
  ConnectionLimits limits;
  // The device's own gauges (free fiscal memory, the shift) are read at most this often per
  // registrator, when a scrape or a readiness check asks and the registrator is idle.
  std::chrono::seconds deviceReadInterval{60};
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
  /// Answers, before serving, each registrator whose receipt journal cannot be kept
  /// ("registrator ID: the receipt journal PATH cannot be written").
  std::vector<std::string> JournalProblems() const;

 private:
  void Routes();
  /// Answers the registrator a request's path names (the first one when it names none); null,
  /// with the 404 answer given, when there is no such registrator.
  Registrator* Addressed(const httplib::Request& req, httplib::Response& res);
  /// Answers what `ask` answers of each registrator (by its index), in their order, asking them
  /// all at once on the shared askers.
  nlohmann::ordered_json Gather(const std::function<nlohmann::ordered_json(std::size_t)>& ask);
  /// Answers the lane of a request's path: a registrator's endpoint goes to the registrator's own
  /// (its index + 1), anything else to the shared lane 0.
  std::size_t LaneOf(const std::string& path) const;
  /// Answers a request whose lane was full: 503 "busy" with Retry-After.
  void Busy(const httplib::Request& req, httplib::Response& res);
  /// Refuses a request that fails the rules every request passes (Host, Origin, token, method,
  /// Content-Type) with its answer; true when it was refused.
  bool Refused(const httplib::Request& req, httplib::Response& res);
  /// Refuses a request without the token (401), or from an address locked out after too many
  /// wrong ones (429 with Retry-After); true when it was refused.
  bool Unauthorized(const httplib::Request& req, httplib::Response& res);
  /// Answers the monitoring endpoints: /healthz, /readyz and /metrics.
  void MonitoringRoutes();
  /// Answers what each registrator's monitor knows, its gauges read first where due and idle.
  std::vector<MonitoredRegistrator> Monitored();

  ServerConfig config_;
  std::unique_ptr<BoundedServer> http_;
  std::map<std::string, std::string> allowed_;  // path (without an id) -> the methods it takes, for 405
  std::vector<std::unique_ptr<Registrator>> registrators_;
  std::unique_ptr<AskerPool> askers_;
  AuthThrottle throttle_;
  StatusCounts sharedRequests_;  // answers of the requests that address no registrator
  int port_ = 0;
  std::atomic<bool> stopping_{false};
};

/// Answers the path an endpoint has for the first registrator: /v1/registrators/{id}/REST is
/// /v1/REST; any other path is answered as it is.
std::string PathWithoutId(const std::string& path);

/// Answers the OpenAPI description of the service.
const std::string& OpenApiText();

/// Answers whether a path is one of the monitoring endpoints: /healthz, /readyz, /metrics.
bool IsMonitoringPath(const std::string& path);

/// Answers whether a request to the path from the client address goes without the token: a
/// monitoring endpoint asked from a loopback address (a monitoring agent beside the service).
bool TokenWaived(const std::string& path, const std::string& clientAddress);

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
