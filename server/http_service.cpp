#include "server/http_service.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <functional>
#include <iostream>
#include <thread>

// The library's header also brings the system's socket headers (inet_pton, in6_addr).
#include <httplib.h>

#include "session/render.h"
#include "server/english_errors.h"
#include "server/profile_endpoints.h"
#include "server/sha256.h"

namespace kovrix::server {
namespace {

using nlohmann::json;
using Operation = std::function<Answer(Service&)>;
// Reads a request's body into an operation; throws BadRequest before anything is queued.
using Reader = std::function<Operation(const json&)>;

// The registrator's own texts are Russian: an answer carrying one says it in English, the
// device's text kept beside it.
void Reply(httplib::Response& res, int status, nlohmann::ordered_json body) {
  EnglishDeviceMessage(body);
  res.status = status;
  res.set_content(session::DumpJson(body) + "\n", "application/json; charset=utf-8");
}

void Message(httplib::Response& res, int status, const std::string& message) {
  Reply(res, status, nlohmann::ordered_json{{"message", message}});
}

// Compares in time that does not depend on where the texts differ, so the token cannot be
// guessed a character at a time.
bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (std::size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::string Unbracketed(const std::string& host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') return host.substr(1, host.size() - 2);
  return host;
}

// What a key answers from just before its request is sent until its real answer is kept. A
// retry meets it only when that never happened (the service stopped in the middle, or the answer
// could not be written): the registrator was maybe asked, so the request must not run again.
// The note names the request's number (and whether it prints a receipt), so that a retry after a
// crash finds what the service's journal decided of it.
StoredAnswer Unfinished(const std::string& fingerprint, std::uint64_t request, bool receipt) {
  nlohmann::ordered_json body{
      {"message", "the request with this Idempotency-Key did not finish; its outcome is unknown, check the "
                  "registrator before selling again"},
      {"outcome", "unknown"},
      {"request", request}};
  if (receipt) body["receipt"] = true;
  return StoredAnswer{fingerprint, 504, session::DumpJson(body) + "\n"};
}

// A path as a pattern that matches it alone.
std::string Escaped(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (c != '\0' && std::strchr(".^$|()[]{}*+?\\", c)) out += '\\';
    out += c;
  }
  return out;
}

// How long the list waits for a registrator's turn before it reports the registrator busy.
constexpr std::chrono::milliseconds kStateTurnWait{2000};

}  // namespace

bool IsMonitoringPath(const std::string& path) {
  return path == "/healthz" || path == "/readyz" || path == "/metrics";
}

bool TokenWaived(const std::string& path, const std::string& clientAddress) {
  return IsMonitoringPath(path) && IsLoopback(clientAddress);
}

bool IsLoopback(const std::string& host) {
  const std::string h = Unbracketed(host);
  if (Lower(h) == "localhost") return true;
  in_addr v4{};
  if (inet_pton(AF_INET, h.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  if (inet_pton(AF_INET6, h.c_str(), &v6) == 1) {
    if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
    return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
  }
  return false;
}

bool HostAllowed(const std::string& hostHeader, const std::string& listenHost) {
  std::string name = hostHeader;
  if (!name.empty() && name.front() == '[') {
    const auto close = name.find(']');
    if (close == std::string::npos) return false;
    const std::string rest = name.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return false;
    name = name.substr(0, close + 1);
  } else if (const auto colon = name.find(':'); colon != std::string::npos) {
    name = name.substr(0, colon);
  }
  if (name.empty()) return false;
  const std::string listen = Lower(Unbracketed(listenHost));
  if (listen == "0.0.0.0" || listen == "::" || listen.empty()) return true;
  return IsLoopback(name) || Lower(Unbracketed(name)) == listen;
}

bool IsJsonContentType(const std::string& contentType) {
  std::string type = contentType.substr(0, contentType.find(';'));
  type.erase(std::remove_if(type.begin(), type.end(), [](char c) { return c == ' ' || c == '\t'; }), type.end());
  return Lower(type) == "application/json";
}

bool BearerMatches(const std::string& authorization, const std::string& token) {
  const auto space = authorization.find(' ');
  if (space == std::string::npos || Lower(authorization.substr(0, space)) != "bearer") return false;
  const auto from = authorization.find_first_not_of(' ', space);
  return SameText(from == std::string::npos ? std::string() : authorization.substr(from), token);
}

std::string PathWithoutId(const std::string& path) {
  static const std::string prefix = "/v1/registrators/";
  if (path.rfind(prefix, 0) != 0) return path;
  const auto slash = path.find('/', prefix.size());
  if (slash == std::string::npos) return path;
  return "/v1" + path.substr(slash);
}

AskerPool::AskerPool(std::size_t threads) {
  for (std::size_t i = 0; i < threads; ++i) {
    threads_.emplace_back([this] {
      for (;;) {
        std::function<void()> task;
        {
          std::unique_lock lock(mutex_);
          cv_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
          if (tasks_.empty()) return;
          task = std::move(tasks_.front());
          tasks_.pop_front();
        }
        task();
      }
    });
  }
}

AskerPool::~AskerPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  cv_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void AskerPool::Post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  cv_.notify_one();
}

HttpService::HttpService(ServerConfig config)
    : config_(std::move(config)),
      http_(std::make_unique<BoundedServer>(config_.limits, std::max<std::size_t>(1, config_.registrators.size()),
                                            [this](const std::string& path) { return LaneOf(path); })),
      throttle_(config_.authThrottle) {
  if (config_.registrators.empty()) {
    // The -p form: its answers stay where they were before several registrators could be served, so
    // that a key given before an upgrade is still honoured after it.
    registrators_.push_back(std::make_unique<Registrator>(RegistratorConfig{kDefaultRegistratorId, config_.device},
                                                          config_.answersDirectory, config_.linkTiming));
  } else {
    for (const RegistratorConfig& r : config_.registrators) {
      const std::string answers = config_.answersDirectory.empty() ? "" : config_.answersDirectory + "/" + r.id;
      registrators_.push_back(std::make_unique<Registrator>(r, answers, config_.linkTiming));
    }
  }
  askers_ = std::make_unique<AskerPool>(registrators_.size());
  Routes();
}

HttpService::~HttpService() = default;

bool HttpService::Bind() {
  std::string host = config_.host;
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (config_.port == 0) {
    port_ = http_->bind_to_any_port(host);
  } else if (http_->bind_to_port(host, config_.port)) {
    port_ = config_.port;
  }
  if (port_ > 0) http_->WidenBacklog();
  return port_ > 0;
}

void HttpService::Listen() {
  if (!stopping_) http_->Serve();
}

// A stop may come before the serving loop has started (a signal right after start-up): the loop
// then sees it and never starts.
std::vector<std::string> HttpService::JournalProblems() const {
  std::vector<std::string> problems;
  for (const auto& r : registrators_) {
    if (const std::string problem = r->service().JournalProblem(); !problem.empty()) {
      problems.push_back("registrator " + r->id() + ": " + problem);
    }
  }
  return problems;
}

void HttpService::Stop() {
  stopping_ = true;
  http_->Stop();
}

std::size_t HttpService::LaneOf(const std::string& path) const {
  static const std::string prefix = "/v1/registrators/";
  if (path.rfind(prefix, 0) == 0) {
    const auto slash = path.find('/', prefix.size());
    if (slash == std::string::npos) return 0;  // the detection, or no endpoint at all
    const std::string id = path.substr(prefix.size(), slash - prefix.size());
    for (std::size_t i = 0; i < registrators_.size(); ++i)
      if (registrators_[i]->id() == id) return i + 1;
    return 0;
  }
  // The paths without an id are the first registrator's endpoints, but for these.
  if (path == "/v1/openapi.json" || path == "/v1/registrators" || IsMonitoringPath(path)) return 0;
  return allowed_.count(path) ? 1 : 0;
}

void HttpService::Busy(const httplib::Request& req, httplib::Response& res) {
  const std::size_t lane = LaneOf(req.path);
  const std::string seconds = std::to_string(config_.limits.retryAfter.count());
  const std::string waiting = lane == 0 ? std::to_string(config_.limits.waitingShared) + " requests wait for the service"
                                        : std::to_string(config_.limits.waitingPerRegistrator) +
                                              " requests wait for the registrator " + registrators_[lane - 1]->id();
  res.set_header("Retry-After", seconds);
  Reply(res, 503, nlohmann::ordered_json{{"message", "busy"},
                                         {"detail", waiting + " already; nothing sent, try again in " + seconds + " s"}});
}

bool HttpService::Unauthorized(const httplib::Request& req, httplib::Response& res) {
  if (config_.token.empty()) return false;
  const auto now = AuthThrottle::Clock::now();
  const auto wait = throttle_.Wait(req.remote_addr, now);
  if (wait.count() > 0) {
    const std::string seconds = std::to_string(wait.count());
    res.set_header("Retry-After", seconds);
    Message(res, 429, "too many wrong bearer tokens from " + req.remote_addr + "; try again in " + seconds + " s");
    return true;
  }
  // Compared whole, never by prefix.
  if (!BearerMatches(req.get_header_value("Authorization"), config_.token)) {
    throttle_.Failed(req.remote_addr, now);
    res.set_header("WWW-Authenticate", "Bearer");
    Message(res, 401, "missing or wrong bearer token");
    return true;
  }
  throttle_.Succeeded(req.remote_addr);
  return false;
}

bool HttpService::Refused(const httplib::Request& req, httplib::Response& res) {
  // A page in a browser on this machine can reach a loopback service by a name of its own
  // (DNS rebinding) or by posting a form: the Host must name this service, and a request that
  // comes from a web page (it carries Origin) needs that origin allowed.
  if (!req.has_header("Host")) {
    Message(res, 400, "the Host header is missing");
    return true;
  }
  const std::string host = req.get_header_value("Host");
  if (!HostAllowed(host, config_.host)) {
    Message(res, 421, "this service answers to " + config_.host + " or a loopback name, not to Host: " + host);
    return true;
  }
  if (req.has_header("Origin")) {
    const std::string origin = req.get_header_value("Origin");
    const bool listed = std::any_of(config_.allowedOrigins.begin(), config_.allowedOrigins.end(),
                                    [&](const std::string& o) { return Lower(o) == Lower(origin); });
    if (!listed) {
      Message(res, 403, "requests from web pages are refused (Origin: " + origin +
                            "); start the service with --allow-origin " + origin + " to allow this one");
      return true;
    }
    // A listed origin is told so, or its browser would not hand the answer to the page; its
    // preflight (OPTIONS, sent before a JSON POST and without the token) is answered here.
    res.set_header("Access-Control-Allow-Origin", origin);
    res.set_header("Vary", "Origin");
    res.set_header("Access-Control-Expose-Headers", "Idempotent-Replayed");
    if (req.method == "OPTIONS" && allowed_.count(PathWithoutId(req.path))) {
      res.set_header("Access-Control-Allow-Methods", allowed_.at(PathWithoutId(req.path)));
      res.set_header("Access-Control-Allow-Headers", "Content-Type, Authorization, Idempotency-Key");
      res.set_header("Access-Control-Max-Age", "600");
      res.status = 204;
      return true;
    }
  }
  // Every request needs the token when there is one, but a scrape or a health check from this
  // machine: a monitoring agent beside the service holds no secret.
  if (!TokenWaived(req.path, req.remote_addr) && Unauthorized(req, res)) return true;
  const auto known = allowed_.find(PathWithoutId(req.path));
  if (known != allowed_.end()) {
    const std::string& methods = known->second;
    const bool takes = (", " + methods + ",").find(", " + req.method + ",") != std::string::npos;
    if (!takes) {
      res.set_header("Allow", methods);
      Message(res, 405, req.method + " is not taken here; " + req.path + " takes " + methods);
      return true;
    }
  }
  // A browser sends a form as text/plain without asking first; only a JSON body is taken.
  if ((req.method == "POST" || req.method == "PUT") && !IsJsonContentType(req.get_header_value("Content-Type"))) {
    Message(res, 415, "send the body as JSON with the header Content-Type: application/json");
    return true;
  }
  return false;
}

Registrator* HttpService::Addressed(const httplib::Request& req, httplib::Response& res) {
  if (req.matches.size() < 2 || !req.matches[1].matched) return registrators_.front().get();
  const std::string id = req.matches[1].str();
  for (const auto& r : registrators_) {
    if (r->id() == id) return r.get();
  }
  Message(res, 404, "no registrator has the id '" + id.substr(0, 64) + "'; GET /v1/registrators lists them");
  return nullptr;
}

// Each registrator is asked in its own turn, all at once, so that a busy or silent one holds the
// answer up by its own bounded wait only, not by everybody's in a row. The askers are shared by
// every such request: many at once queue for them instead of each starting threads of its own.
nlohmann::ordered_json HttpService::Gather(const std::function<nlohmann::ordered_json(std::size_t)>& ask) {
  std::vector<nlohmann::ordered_json> answers(registrators_.size());
  std::mutex mutex;
  std::condition_variable done;
  std::size_t left = registrators_.size();
  for (std::size_t i = 0; i < registrators_.size(); ++i) {
    askers_->Post([&, i] {
      nlohmann::ordered_json answer;
      try {
        answer = ask(i);
      } catch (const std::exception&) {
        answer = nlohmann::ordered_json{{"id", registrators_[i]->id()}, {"message", "internal error"}};
      }
      std::lock_guard lock(mutex);
      answers[i] = std::move(answer);
      if (--left == 0) done.notify_all();
    });
  }
  std::unique_lock lock(mutex);
  done.wait(lock, [&] { return left == 0; });
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (auto& answer : answers) list.push_back(std::move(answer));
  return list;
}

void HttpService::Routes() {
  http_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    if (Refused(req, res)) return httplib::Server::HandlerResponse::Handled;
    if (!BoundedServer::Overflowing()) return httplib::Server::HandlerResponse::Unhandled;
    Busy(req, res);
    return httplib::Server::HandlerResponse::Handled;
  });
  http_->set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return;
    Message(res, res.status, res.status == 404 ? "no such endpoint" : "request refused");
  });
  http_->set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
    Message(res, 500, "internal error");
  });
  // Every answer that the routing gives is counted, under its registrator when it has one.
  http_->set_logger([this](const httplib::Request& req, const httplib::Response& res) {
    const std::size_t lane = LaneOf(req.path);
    if (lane == 0) {
      sharedRequests_.Add(res.status);
    } else {
      registrators_[lane - 1]->monitor().CountRequest(res.status);
    }
  });

  auto get = [this](const std::string& path, httplib::Server::Handler handler) {
    allowed_[path] = "GET, HEAD";
    http_->Get(Escaped(path), std::move(handler));
  };
  get("/v1/openapi.json", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(OpenApiText(), "application/json; charset=utf-8");
  });
  get("/v1/registrators", [this](const httplib::Request&, httplib::Response& res) {
    // The turn is waited for from the request's start, however long its asker waited to run.
    const auto until = std::chrono::steady_clock::now() + kStateTurnWait;
    const auto list = Gather([this, until](std::size_t i) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      return registrators_[i]->State(std::max(left, std::chrono::milliseconds(0)));
    });
    Reply(res, 200, nlohmann::ordered_json{{"registrators", list}});
  });
  // The configured ports probed for registrators, each in its registrator's turn; one in use is
  // reported busy and not probed.
  get("/v1/registrators/detect", [this](const httplib::Request&, httplib::Response& res) {
    const auto ports = Gather([this](std::size_t i) { return registrators_[i]->Detect(http_->LaneLoad(i + 1) > 0); });
    Reply(res, 200, nlohmann::ordered_json{{"ports", ports}});
  });

  // An endpoint of a registrator: the path as given is the first registrator's, and the same path
  // under /v1/registrators/{id} is that registrator's.
  auto ofRegistrator = [](const std::string& path) { return "/v1(?:/registrators/([^/]+))?" + Escaped(path.substr(3)); };

  allowed_["/v1/device"] = "GET, HEAD";
  http_->Get(ofRegistrator("/v1/device"), [this](const httplib::Request& req, httplib::Response& res) {
    Registrator* r = Addressed(req, res);
    if (!r) return;
    Answer a;
    {
      const Registrator::Turn turn(*r);
      a = r->service().DeviceInfo();
    }
    Reply(res, a.status, a.body);
  });

  // A POST: the body is read and checked, then the request waits its registrator's turn; under the
  // turn the stored answer of its Idempotency-Key is looked up, so a retry racing the first request
  // still finds its answer. Before anything is sent the key is written down as unfinished: a
  // key that cannot be written would let a retry print again, so the request does not run. The
  // fingerprint names the path without the id: the first registrator's request is the same one
  // by either path.
  auto keyed = [this, ofRegistrator](const std::string& method, const std::string& path, Reader reader, bool bodyOptional) {
    allowed_[path] = allowed_.count(path) ? allowed_[path] + ", " + method : method;
    auto handler = [this, method, path, reader, bodyOptional](const httplib::Request& req, httplib::Response& res) {
      Registrator* registrator = Addressed(req, res);
      if (!registrator) return;
      IdempotencyStore& answers = registrator->answers();
      Operation op;
      std::string fingerprint;
      try {
        const json body = (bodyOptional && req.body.find_first_not_of(" \t\r\n") == std::string::npos)
                              ? json::object()
                              : ParseBody(req.body);
        op = reader(body);
        // The body nests at most kMaxNesting deep (ParseBody), so its dump is shallow.
        fingerprint = Sha256Hex(method + " " + path + "\n" + body.dump(-1, ' ', false, json::error_handler_t::replace));
      } catch (const BadRequest& e) {
        Message(res, 400, e.what());
        return;
      }
      const bool keyed = req.has_header("Idempotency-Key");
      const std::string key = req.get_header_value("Idempotency-Key");
      if (keyed && !IdempotencyStore::ValidKey(key)) {
        Message(res, 400, "Idempotency-Key must be 1 to 128 printable ASCII characters");
        return;
      }
      if (keyed && !answers.usable()) {
        Message(res, 503, "no state directory to keep Idempotency-Key answers in; nothing sent");
        return;
      }
      const Registrator::Turn turn(*registrator);
      Service& service = registrator->service();
      if (keyed) {
        if (const auto stored = answers.Find(key)) {
          if (stored->request != fingerprint) {
            Message(res, 422, "this Idempotency-Key was used for a different request; nothing sent");
            return;
          }
          res.set_header("Idempotent-Replayed", "true");
          // An answer that left the outcome unknown is asked of the registrator again, never re-run.
          const json storedBody = json::parse(stored->body, nullptr, false);
          if (Service::OutcomeUnknown(storedBody)) {
            const Answer a = service.ResolveOutcome(storedBody);
            Reply(res, a.status, a.body);
            if (a.status != 503) answers.Keep(key, StoredAnswer{fingerprint, a.status, res.body});
            return;
          }
          res.status = stored->status;
          res.set_content(stored->body, "application/json; charset=utf-8");
          return;
        }
        // Not flushed to the disk: the note guards against a crash of the service, and the
        // flush would cost as much as a line of the receipt; the answer that replaces it is.
        const bool receipt = path == "/v1/receipts" || path == "/v1/non-fiscal";
        if (!answers.Keep(key, Unfinished(fingerprint, service.ReserveRequest(), receipt), /*durable*/ false)) {
          service.EndRequest();
          Message(res, 503, "the answer to this Idempotency-Key cannot be stored (is the state directory writable "
                            "and not full?); nothing sent");
          return;
        }
      }
      const Answer a = op(service);
      service.EndRequest();
      registrator->monitor().CountAnswer(path, a);
      Reply(res, a.status, a.body);
      if (!keyed) return;
      // Only answers of requests that reached the registrator are kept: one that found the port
      // unavailable sent nothing and may simply be repeated.
      if (a.status == 503) {
        answers.Forget(key);
      } else if (!answers.Keep(key, StoredAnswer{fingerprint, a.status, res.body})) {
        std::cerr << "kovrix-server: warning: the answer for Idempotency-Key " << key
                  << " could not be kept; a retry will be told its outcome is unknown\n";
      }
    };
    if (method == "PUT") {
      http_->Put(ofRegistrator(path), handler);
    } else {
      http_->Post(ofRegistrator(path), handler);
    }
  };
  auto post = [keyed](const std::string& path, Reader reader, bool bodyOptional) { keyed("POST", path, reader, bodyOptional); };

  post("/v1/receipts", [](const json& b) -> Operation {
    const Receipt r = ReadReceipt(b);
    return [r](Service& s) { return s.PrintReceipt(r); };
  }, false);
  post("/v1/non-fiscal", [](const json& b) -> Operation {
    const NonFiscal n = ReadNonFiscal(b);
    return [n](Service& s) { return s.PrintNonFiscal(n); };
  }, false);
  post("/v1/cash", [](const json& b) -> Operation {
    const Cash c = ReadCash(b);
    return [c](Service& s) { return s.CashInOut(c); };
  }, false);
  post("/v1/reports/x", [](const json& b) -> Operation {
    const std::string p = ReadPassword(b);
    return [p](Service& s) { return s.Report(p, 1); };
  }, true);
  post("/v1/reports/z", [](const json& b) -> Operation {
    const std::string p = ReadPassword(b);
    return [p](Service& s) { return s.Report(p, 0); };
  }, true);
  post("/v1/receipts/open/annul", [](const json& b) -> Operation {
    const std::string p = ReadPassword(b);
    return [p](Service& s) { return s.AnnulOpenReceipt(p); };
  }, true);
  post("/v1/commands", [](const json& b) -> Operation {
    const RawCommand c = ReadRawCommand(b);
    return [c](Service& s) { return s.Raw(c); };
  }, false);

  // The profile: read in the registrator's turn; applied as the other state-changing requests are,
  // with their Idempotency-Key rules.
  allowed_["/v1/profile"] = "GET, HEAD";
  http_->Get(ofRegistrator("/v1/profile"), [this](const httplib::Request& req, httplib::Response& res) {
    Registrator* r = Addressed(req, res);
    if (!r) return;
    Answer a;
    {
      const Registrator::Turn turn(*r);
      a = ReadProfileAnswer(r->device(), req.get_param_value("areas"), req.get_param_value("password"));
    }
    Reply(res, a.status, a.body);
  });
  keyed("PUT", "/v1/profile", [](const json& b) -> Operation {
    const ProfilePut put = ReadProfilePut(b);
    return [put](Service& s) { return ApplyProfileAnswer(s.device(), put); };
  }, false);
  MonitoringRoutes();
}

std::vector<MonitoredRegistrator> HttpService::Monitored() {
  Gather([this](std::size_t i) {
    registrators_[i]->Refresh(config_.deviceReadInterval, http_->LaneLoad(i + 1) > 0);
    return nlohmann::ordered_json();
  });
  std::vector<MonitoredRegistrator> list;
  for (const auto& r : registrators_) list.push_back({r->id(), r->monitor().Take()});
  return list;
}

void HttpService::MonitoringRoutes() {
  auto get = [this](const std::string& path, httplib::Server::Handler handler) {
    allowed_[path] = "GET, HEAD";
    http_->Get(Escaped(path), std::move(handler));
  };
  // The process serves: nothing is asked of the registrators.
  get("/healthz", [](const httplib::Request&, httplib::Response& res) {
    Reply(res, 200, nlohmann::ordered_json{{"status", "ok"}});
  });
  get("/readyz", [this](const httplib::Request&, httplib::Response& res) {
    const Answer a = Readiness(Monitored());
    Reply(res, a.status, a.body);
  });
  get("/metrics", [this](const httplib::Request&, httplib::Response& res) {
    const std::string text = MetricsText(Monitored(), sharedRequests_.Take());
    res.set_content(text, kExpositionType);
  });
}

}  // namespace kovrix::server
