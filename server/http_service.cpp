#include "server/http_service.h"

#include <functional>
#include <iostream>
#include <thread>

#include <httplib.h>

#include "cli/render.h"

namespace kovrix::server {
namespace {

using nlohmann::json;
using Operation = std::function<Answer(Service&)>;
// Reads a request's body into an operation; throws BadRequest before anything is queued.
using Reader = std::function<Operation(const json&)>;

constexpr std::size_t kMaxBody = 1 << 20;

void Reply(httplib::Response& res, int status, const nlohmann::ordered_json& body) {
  res.status = status;
  res.set_content(cli::DumpJson(body) + "\n", "application/json; charset=utf-8");
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

}  // namespace

TurnQueue::Turn::Turn(TurnQueue& q) : q_(q) {
  std::unique_lock lock(q_.mutex_);
  const std::uint64_t mine = q_.next_++;
  q_.cv_.wait(lock, [&] { return q_.serving_ == mine; });
}

TurnQueue::Turn::~Turn() {
  {
    std::lock_guard lock(q_.mutex_);
    ++q_.serving_;
  }
  q_.cv_.notify_all();
}

bool IsLoopback(const std::string& host) {
  return host == "localhost" || host == "::1" || host == "[::1]" || host.rfind("127.", 0) == 0;
}

HttpService::HttpService(ServerConfig config)
    : config_(std::move(config)),
      http_(std::make_unique<httplib::Server>()),
      service_(config_.device),
      answers_(config_.answersDirectory) {
  http_->set_payload_max_length(kMaxBody);
  answers_.Prune();
  Routes();
}

HttpService::~HttpService() = default;

bool HttpService::Bind() {
  std::string host = config_.host;
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (config_.port == 0) {
    port_ = http_->bind_to_any_port(host);
    return port_ > 0;
  }
  port_ = config_.port;
  return http_->bind_to_port(host, config_.port);
}

void HttpService::Listen() {
  listening_ = true;
  if (!stopping_) http_->listen_after_bind();
  listened_ = true;
}

// A stop may come before the serving loop has started (a signal right after start-up): then the
// loop either sees the flag and never starts, or is waited for until it runs and can be stopped.
void HttpService::Stop() {
  stopping_ = true;
  while (listening_ && !listened_ && !http_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  http_->stop();
}

void HttpService::Routes() {
  // Every request needs the token when there is one; compared whole, never by prefix.
  http_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    if (config_.token.empty()) return httplib::Server::HandlerResponse::Unhandled;
    if (SameText(req.get_header_value("Authorization"), "Bearer " + config_.token))
      return httplib::Server::HandlerResponse::Unhandled;
    res.set_header("WWW-Authenticate", "Bearer");
    Message(res, 401, "missing or wrong bearer token");
    return httplib::Server::HandlerResponse::Handled;
  });
  http_->set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return;
    Message(res, res.status, res.status == 404 ? "no such endpoint" : "request refused");
  });
  http_->set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
    Message(res, 500, "internal error");
  });

  http_->Get("/v1/openapi.json", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(OpenApiText(), "application/json; charset=utf-8");
  });
  http_->Get("/v1/device", [this](const httplib::Request&, httplib::Response& res) {
    Answer a;
    {
      TurnQueue::Turn turn(queue_);
      a = service_.DeviceInfo();
    }
    Reply(res, a.status, a.body);
  });

  // A POST: the body is read and checked, then the request waits its turn; under the turn the
  // stored answer of its Idempotency-Key is looked up, so a retry racing the first request
  // still finds its answer.
  auto post = [this](const std::string& path, Reader reader, bool bodyOptional) {
    http_->Post(path, [this, path, reader, bodyOptional](const httplib::Request& req, httplib::Response& res) {
      Operation op;
      std::string fingerprint;
      try {
        const json body = (bodyOptional && req.body.find_first_not_of(" \t\r\n") == std::string::npos)
                              ? json::object()
                              : ParseBody(req.body);
        op = reader(body);
        fingerprint = "POST " + path + "\n" + body.dump(-1, ' ', false, json::error_handler_t::replace);
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
      if (keyed && !answers_.usable()) {
        Message(res, 503, "no state directory to keep Idempotency-Key answers in; nothing sent");
        return;
      }
      TurnQueue::Turn turn(queue_);
      if (keyed) {
        if (const auto stored = answers_.Find(key)) {
          if (stored->request != fingerprint) {
            Message(res, 422, "this Idempotency-Key was used for a different request; nothing sent");
            return;
          }
          res.set_header("Idempotent-Replayed", "true");
          // An answer that left the outcome unknown is asked of the registrator again, never re-run.
          const json storedBody = json::parse(stored->body, nullptr, false);
          if (Service::OutcomeUnknown(storedBody)) {
            const Answer a = service_.ResolveOutcome(storedBody);
            Reply(res, a.status, a.body);
            if (a.status != 503) answers_.Keep(key, StoredAnswer{fingerprint, a.status, res.body});
            return;
          }
          res.status = stored->status;
          res.set_content(stored->body, "application/json; charset=utf-8");
          return;
        }
      }
      const Answer a = op(service_);
      Reply(res, a.status, a.body);
      // Only answers of requests that reached the registrator are kept: one that found the port
      // unavailable sent nothing and may simply be repeated.
      if (keyed && a.status != 503 && !answers_.Keep(key, StoredAnswer{fingerprint, a.status, res.body}))
        std::cerr << "kovrix-server: warning: the answer for Idempotency-Key " << key << " could not be kept\n";
    });
  };

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
}

}  // namespace kovrix::server
