#include "server/connection.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>

#include <nlohmann/json.hpp>

#include "driver/socket_io.h"
#include "server/socket_io.h"

namespace kovrix::server {
namespace {

using Clock = std::chrono::steady_clock;

// A wait on a socket is cut into slices so that a stop of the server is noticed soon.
constexpr std::chrono::milliseconds kSlice{100};
// How long a refused client's remaining bytes are read away before its connection closes.
constexpr std::chrono::milliseconds kLinger{1000};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

const char* Reason(int status) {
  switch (status) {
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 431: return "Request Header Fields Too Large";
    default: return "Bad Request";
  }
}

// A refusal that the connection answers itself, before the request reaches the routing; the
// connection closes after it, since what follows in it cannot be framed.
std::string Refusal(int status, const std::string& message) {
  const std::string body = nlohmann::json{{"message", message}}.dump() + "\n";
  char head[256];
  std::snprintf(head, sizeof head,
                "HTTP/1.1 %d %s\r\nContent-Type: application/json; charset=utf-8\r\nContent-Length: %zu\r\n"
                "Connection: close\r\n\r\n",
                status, Reason(status), body.size());
  return head + body;
}

// The characters of a token (a method or a header name): letters, digits and these.
bool TokenChar(unsigned char c) {
  return std::isalnum(c) || (c != 0 && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
}

bool AllTokenChars(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return TokenChar(static_cast<unsigned char>(c)); });
}

std::string RequestLineProblem(std::string_view line) {
  const char* const form = "the request line is not METHOD TARGET HTTP/1.1, one space apart";
  const std::size_t first = line.find(' ');
  if (first == std::string_view::npos) return form;
  const std::size_t second = line.find(' ', first + 1);
  if (second == std::string_view::npos) return form;
  const std::string_view method = line.substr(0, first);
  const std::string_view target = line.substr(first + 1, second - first - 1);
  const std::string_view version = line.substr(second + 1);
  if (!AllTokenChars(method) || target.empty()) return form;
  // Printable ASCII only: a blank, a control byte or a raw 8-bit byte in the target is a client
  // that does not encode its URL, or one that hides something behind it.
  if (!std::all_of(target.begin(), target.end(), [](char c) { return c > 0x20 && c < 0x7F; }))
    return "the request target holds a blank, a control byte or a byte that is not percent-encoded";
  if (version != "HTTP/1.1" && version != "HTTP/1.0") return form;
  return {};
}

int SliceMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::clamp(left, std::chrono::milliseconds(0), kSlice).count());
}

enum class Got { Data, Closed, TimedOut, Stopped };

// Reads what has arrived on the socket into buffer, waiting until the deadline at most.
Got ReadSome(socket_t sock, std::string& buffer, Clock::time_point deadline, const std::atomic<socket_t>& listening) {
  for (;;) {
    if (listening == INVALID_SOCKET) return Got::Stopped;
    if (Clock::now() >= deadline) return Got::TimedOut;
    const net::Wait ready = net::WaitReadable(static_cast<net::Socket>(sock), SliceMs(deadline));
    if (ready == net::Wait::Failed) return Got::Closed;
    if (ready == net::Wait::Timeout) continue;
    char chunk[4096];
    const long n = net::Receive(static_cast<net::Socket>(sock), chunk, sizeof chunk);
    if (n > 0) {
      buffer.append(chunk, static_cast<std::size_t>(n));
      return Got::Data;
    }
    if (n == net::kWouldBlock) continue;
    return Got::Closed;
  }
}

bool WriteAll(socket_t sock, const char* data, std::size_t size, Clock::time_point deadline) {
  std::size_t done = 0;
  while (done < size) {
    const long n = net::Send(static_cast<net::Socket>(sock), data + done, size - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n == net::kFailed) return false;
    if (Clock::now() >= deadline) return false;
    net::WaitWritable(static_cast<net::Socket>(sock), SliceMs(deadline));
  }
  return true;
}

void Address(socket_t sock, bool peer, std::string& ip, int& port) {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  const int r = peer ? ::getpeername(sock, reinterpret_cast<sockaddr*>(&addr), &len)
                     : ::getsockname(sock, reinterpret_cast<sockaddr*>(&addr), &len);
  char host[NI_MAXHOST] = "";
  char service[NI_MAXSERV] = "";
  if (r != 0 || ::getnameinfo(reinterpret_cast<sockaddr*>(&addr), len, host, sizeof host, service, sizeof service,
                              NI_NUMERICHOST | NI_NUMERICSERV) != 0)
    return;
  ip = host;
  port = std::atoi(service);
}

// One whole request, read already, handed to the library's routing; its answer goes to the
// socket within the write limit.
class RequestStream : public httplib::Stream {
 public:
  RequestStream(std::string request, socket_t sock, std::chrono::milliseconds writeLimit)
      : request_(std::move(request)), sock_(sock), writeLimit_(writeLimit) {}

  bool is_readable() const override { return pos_ < request_.size(); }
  bool is_writable() const override { return !failed_; }
  ssize_t read(char* ptr, size_t size) override {
    const std::size_t n = std::min(size, request_.size() - pos_);
    std::copy_n(request_.data() + pos_, n, ptr);
    pos_ += n;
    return static_cast<ssize_t>(n);
  }
  ssize_t write(const char* ptr, size_t size) override {
    if (failed_) return -1;
    if (!writing_) {
      writing_ = true;
      deadline_ = Clock::now() + writeLimit_;
    }
    if (!WriteAll(sock_, ptr, size, deadline_)) {
      failed_ = true;
      return -1;
    }
    return static_cast<ssize_t>(size);
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override { Address(sock_, true, ip, port); }
  void get_local_ip_and_port(std::string& ip, int& port) const override { Address(sock_, false, ip, port); }
  socket_t socket() const override { return sock_; }
  bool failed() const { return failed_; }

 private:
  std::string request_;
  std::size_t pos_ = 0;
  socket_t sock_;
  std::chrono::milliseconds writeLimit_;
  bool writing_ = false;
  bool failed_ = false;
  Clock::time_point deadline_;
};

}  // namespace

std::string HeadLineProblem(std::string_view line, bool requestLine) {
  if (requestLine) return RequestLineProblem(line);
  // Each of these is read one way here and another way by some proxy or library: a request
  // that passes one of them with a body could hide a second request in that body.
  if (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
    return "a header line starts with a blank (obsolete line folding); send each header as one NAME: VALUE line";
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0) return "a header line is not NAME: VALUE";
  const std::string_view name = line.substr(0, colon);
  if (name.back() == ' ' || name.back() == '\t')
    return "a blank stands between a header's name and its colon; a header is NAME: VALUE";
  if (!AllTokenChars(name))
    return "a header name holds a blank, a control byte or a separator; a header is NAME: VALUE";
  const std::string_view value = line.substr(colon + 1);
  if (std::any_of(value.begin(), value.end(), [](char c) { return (c >= 0 && c < 0x20 && c != '\t') || c == 0x7F; }))
    return "a header value holds a control byte";
  return {};
}

HeadChecker::State HeadChecker::Check(std::string_view bytes) {
  if (!problem_.empty()) return State::Malformed;
  if (headEnd_ != 0) return State::Whole;
  auto malformed = [this](std::string problem) {
    problem_ = std::move(problem);
    return State::Malformed;
  };
  for (;;) {
    const std::size_t lf = bytes.find('\n', checked_);
    const std::string_view rest = bytes.substr(checked_, lf == std::string_view::npos ? std::string_view::npos : lf - checked_);
    // A CR that is not the end of its line: the line is wrong whatever follows.
    const std::size_t cr = rest.find('\r');
    if (cr != std::string_view::npos && cr + 1 < rest.size())
      return malformed("a line holds a bare CR; HTTP lines end with CR LF");
    if (lf == std::string_view::npos) return State::Incomplete;
    if (rest.empty() || rest.back() != '\r') return malformed("a line ends with a bare LF; HTTP lines end with CR LF");
    const std::string_view line = rest.substr(0, rest.size() - 1);
    if (line.empty()) {
      if (lines_ == 0) return malformed("the request line is empty");
      headEnd_ = checked_ - 2;  // the CR LF of the last header line
      return State::Whole;
    }
    std::string problem = HeadLineProblem(line, lines_ == 0);
    if (!problem.empty()) return malformed(std::move(problem));
    ++lines_;
    checked_ = lf + 1;
  }
}

FramedHead FrameHead(std::string_view head, std::size_t maxBody) {
  FramedHead f;
  auto refuse = [&f](int status, std::string message) {
    f.status = status;
    f.message = std::move(message);
    return f;
  };
  // The lines are checked as HeadChecker checks them while they arrive: the head of a request
  // read whole must pass the same rules.
  HeadChecker checker;
  if (checker.Check(std::string(head) + "\r\n\r\n") != HeadChecker::State::Whole) return refuse(400, checker.problem());
  bool haveLength = false;
  bool haveHost = false;
  std::size_t lineEnd = head.find("\r\n");
  while (lineEnd != std::string_view::npos) {
    const std::size_t from = lineEnd + 2;
    lineEnd = head.find("\r\n", from);
    const std::string_view line = head.substr(from, lineEnd == std::string_view::npos ? head.size() - from : lineEnd - from);
    const std::size_t colon = line.find(':');
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = Trim(line.substr(colon + 1));
    if (SameName(name, "Content-Length")) {
      if (value.empty() || value.size() > 18 || value.find_first_not_of("0123456789") != std::string_view::npos)
        return refuse(400, "Content-Length is not a number of bytes");
      const std::size_t length = std::stoull(std::string(value));
      if (haveLength && length != f.bodyLength) return refuse(400, "Content-Length is given twice with two values");
      if (length > maxBody)
        return refuse(413, "the body is " + std::to_string(length) + " bytes, at most " + std::to_string(maxBody) +
                               " are accepted");
      f.bodyLength = length;
      haveLength = true;
    } else if (SameName(name, "Host")) {
      // Two Hosts leave it to chance which one the rules below and the routing each take.
      if (haveHost) return refuse(400, "the Host header is given twice");
      haveHost = true;
    } else if (SameName(name, "Transfer-Encoding")) {
      return refuse(411, "send the body with a Content-Length header; Transfer-Encoding is not accepted");
    } else if (SameName(name, "Expect")) {
      f.expectContinue = SameName(value, "100-continue");
    } else if (SameName(name, "Idempotency-Key") && value.empty()) {
      f.emptyIdempotencyKey = true;
    }
  }
  return f;
}

BoundedServer::BoundedServer(const ConnectionLimits& limits) : limits_(limits) {
  const std::size_t workers = limits_.workers;
  new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
  set_payload_max_length(limits_.maxBody);
  // The library writes these into its Keep-Alive answer header.
  set_keep_alive_timeout(std::max<time_t>(1, std::chrono::duration_cast<std::chrono::seconds>(limits_.idle).count()));
  set_keep_alive_max_count(limits_.requestsPerConnection);
}

void BoundedServer::WidenBacklog() {
  // listen() again on a listening socket changes its backlog.
  if (svr_sock_ != INVALID_SOCKET) WidenListenBacklog(svr_sock_);
}

bool BoundedServer::process_and_close_socket(socket_t sock) {
  PrepareConnection(sock);
  std::string buffer;
  bool refused = false;
  auto refuse = [&](int status, const std::string& message) {
    const std::string text = Refusal(status, message);
    refused = WriteAll(sock, text.data(), text.size(), Clock::now() + limits_.write);
  };
  for (std::size_t served = 0; served < limits_.requestsPerConnection; ++served) {
    // A request sent before the previous answer (pipelined) is in the buffer already.
    if (buffer.empty() && ReadSome(sock, buffer, Clock::now() + limits_.idle, svr_sock_) != Got::Data) break;
    const auto deadline = Clock::now() + limits_.request;
    Got got = Got::Data;
    // Each line of the head is checked as soon as it is whole: a malformed one is refused at
    // once, and nothing after it on the connection is read as a request.
    HeadChecker checker;
    HeadChecker::State state = HeadChecker::State::Incomplete;
    while ((state = checker.Check(buffer)) == HeadChecker::State::Incomplete && buffer.size() <= limits_.maxHead &&
           got == Got::Data)
      got = ReadSome(sock, buffer, deadline, svr_sock_);
    if (state == HeadChecker::State::Malformed) {
      refuse(400, checker.problem());
      break;
    }
    if (state == HeadChecker::State::Incomplete && buffer.size() > limits_.maxHead) {
      refuse(431, "the request line and headers pass " + std::to_string(limits_.maxHead) + " bytes");
      break;
    }
    if (got == Got::TimedOut) refuse(408, "the request did not arrive whole in time");
    if (got != Got::Data) break;
    const std::size_t headEnd = checker.headEnd();
    if (headEnd > limits_.maxHead) {
      refuse(431, "the request line and headers pass " + std::to_string(limits_.maxHead) + " bytes");
      break;
    }
    const FramedHead head = FrameHead(std::string_view(buffer).substr(0, headEnd), limits_.maxBody);
    if (head.status != 0) {
      refuse(head.status, head.message);
      break;
    }
    const std::size_t whole = headEnd + 4 + head.bodyLength;
    if (head.expectContinue && buffer.size() < whole) {
      const std::string_view goOn = "HTTP/1.1 100 Continue\r\n\r\n";
      if (!WriteAll(sock, goOn.data(), goOn.size(), deadline)) break;
    }
    while (buffer.size() < whole && got == Got::Data) got = ReadSome(sock, buffer, deadline, svr_sock_);
    if (got == Got::TimedOut) refuse(408, "the request did not arrive whole in time");
    if (got != Got::Data) break;

    RequestStream stream(buffer.substr(0, whole), sock, limits_.write);
    buffer.erase(0, whole);
    bool closed = false;
    const bool last = served + 1 == limits_.requestsPerConnection;
    const bool answered = process_request(stream, last, closed, [&head](httplib::Request& req) {
      // Answered above already; the library would send a second one.
      req.headers.erase("Expect");
      // The library drops a header without a value; an empty key is refused, not taken as none.
      if (head.emptyIdempotencyKey && !req.has_header("Idempotency-Key")) req.headers.emplace("Idempotency-Key", "");
    });
    if (!answered || closed || stream.failed() || svr_sock_ == INVALID_SOCKET) break;
  }
  if (refused) {
    // The client may still be sending the request that was refused: closing with its bytes
    // unread would reset the connection and could lose the refusal on the way. Its end is
    // closed first and what still comes is read away for a moment.
    ShutdownSending(sock);
    const auto until = Clock::now() + kLinger;
    std::string rest;
    while (ReadSome(sock, rest, until, svr_sock_) == Got::Data) rest.clear();
  }
  CloseConnection(sock);
  return true;
}

}  // namespace kovrix::server
