#include "server/connection.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <condition_variable>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "driver/socket_io.h"
#include "server/socket_io.h"

namespace kovrix::server {
namespace {

using Clock = std::chrono::steady_clock;

// How long a refused client's remaining bytes are read away before its connection closes.
constexpr std::chrono::milliseconds kLinger{1000};
// How long accepting rests when the process has no descriptor left for a new connection.
constexpr std::chrono::milliseconds kAcceptRest{100};
// The longest the loop waits without looking at the time-outs.
constexpr std::chrono::milliseconds kLongestWait{1000};

thread_local bool tOverflowing = false;

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
    case 503: return "Service Unavailable";
    default: return "Bad Request";
  }
}

// A refusal that the connection answers itself, before the request reaches the routing; the
// connection closes after it, since what follows in it cannot be framed.
std::string Refusal(int status, const std::string& message, const std::string& extraHeader = "") {
  const std::string body = nlohmann::json{{"message", message}}.dump() + "\n";
  char head[256];
  std::snprintf(head, sizeof head,
                "HTTP/1.1 %d %s\r\nContent-Type: application/json; charset=utf-8\r\nContent-Length: %zu\r\n"
                "Connection: close\r\n",
                status, Reason(status), body.size());
  return head + extraHeader + "\r\n" + body;
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

// One whole request, read already, handed to the library's routing; its answer is kept for the
// connection's loop to write, so that a client that reads slowly holds no worker.
class RequestStream : public httplib::Stream {
 public:
  RequestStream(std::string request, socket_t sock, std::string& out)
      : request_(std::move(request)), sock_(sock), out_(out) {}

  bool is_readable() const override { return pos_ < request_.size(); }
  bool is_writable() const override { return true; }
  ssize_t read(char* ptr, size_t size) override {
    const std::size_t n = std::min(size, request_.size() - pos_);
    std::copy_n(request_.data() + pos_, n, ptr);
    pos_ += n;
    return static_cast<ssize_t>(n);
  }
  ssize_t write(const char* ptr, size_t size) override {
    out_.append(ptr, size);
    return static_cast<ssize_t>(size);
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override { Address(sock_, true, ip, port); }
  void get_local_ip_and_port(std::string& ip, int& port) const override { Address(sock_, false, ip, port); }
  socket_t socket() const override { return sock_; }

 private:
  std::string request_;
  std::size_t pos_ = 0;
  socket_t sock_;
  std::string& out_;
};

// An open connection, held by the loop while it waits for a request or writes an answer, and by
// a worker while its request is served.
struct Connection {
  enum class Phase {
    Reading,   // waiting for a request, or reading one
    Closing,   // writing its last answer
    Draining,  // answered and shut for sending: what the client still sends is read away
  };
  socket_t sock = INVALID_SOCKET;
  std::string address;
  bool counted = false;  // counts against its address's connections
  Phase phase = Phase::Reading;
  bool linger = false;   // Closing: drain after the answer, since a request may still be arriving
  std::string in;
  std::string out;
  std::size_t written = 0;
  Clock::time_point deadline;       // Reading: the idle or request limit; Draining: the linger's end
  Clock::time_point writeDeadline;  // while out holds bytes not yet written
  // The request being read.
  HeadChecker checker;
  bool started = false;  // its first byte has arrived
  bool framed = false;   // its head is whole and taken
  std::size_t whole = 0;
  bool emptyKey = false;
  std::size_t served = 0;
  bool closeAfter = false;  // the answer a worker left is the connection's last
};

// A whole request for a lane's worker, with its connection.
struct Job {
  std::unique_ptr<Connection> conn;
  std::string request;
};

// The workers of a lane and the requests that wait for them, at most `waiting`.
class Lane {
 public:
  Lane(std::size_t workers, std::size_t waiting) : workers_(workers), waiting_(waiting) {}

  /// Starts the workers: each serves a job, leaves the lane's load, then hands the job back, so
  /// that a client that has its answer finds the lane's load without its request.
  void Start(const std::function<void(Job&)>& serve, const std::function<void(Job&)>& handBack) {
    for (std::size_t i = 0; i < workers_; ++i) {
      threads_.emplace_back([this, serve, handBack] {
        for (;;) {
          Job job;
          {
            std::unique_lock lock(mutex_);
            cv_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
            ++running_;
          }
          serve(job);
          {
            std::lock_guard lock(mutex_);
            --running_;
          }
          handBack(job);
        }
      });
    }
  }
  /// Queues the job; false, the job left as it was, when the lane is full.
  bool Offer(Job& job) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_ || jobs_.size() >= waiting_) return false;
      jobs_.push_back(std::move(job));
    }
    cv_.notify_one();
    return true;
  }
  /// Lets the workers end after the job each serves, and answers the jobs that were waiting.
  std::deque<Job> Stop() {
    std::deque<Job> left;
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      left.swap(jobs_);
    }
    cv_.notify_all();
    return left;
  }
  void Join() {
    for (std::thread& t : threads_) t.join();
    threads_.clear();
  }
  std::size_t Load() const {
    std::lock_guard lock(mutex_);
    return jobs_.size() + running_;
  }

 private:
  const std::size_t workers_;
  const std::size_t waiting_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<Job> jobs_;
  std::size_t running_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
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

std::string TargetPath(std::string_view target) {
  return httplib::detail::decode_url(std::string(target.substr(0, target.find('?'))), false);
}

// The loop that holds every open connection: it accepts them, reads each request whole, hands it
// to its lane and writes the answer the worker left. It alone opens, closes and counts
// connections; a connection is either in its hands or in one worker's.
class BoundedServer::Reception {
 public:
  Reception(BoundedServer& server, std::size_t registratorLanes, Sorter sorter)
      : server_(server), limits_(server.limits_), sorter_(std::move(sorter)) {
    lanes_.push_back(std::make_unique<Lane>(limits_.sharedWorkers, limits_.waitingShared));
    for (std::size_t i = 0; i < registratorLanes; ++i)
      lanes_.push_back(std::make_unique<Lane>(1, limits_.waitingPerRegistrator));
  }

  void RequestStop() {
    stop_ = true;
    waker_.Wake();
  }

  std::size_t Load(std::size_t lane) const { return lane < lanes_.size() ? lanes_[lane]->Load() : 0; }

  void Run() {
    if (stop_ || server_.svr_sock_ == INVALID_SOCKET) return;
    listening_ = server_.svr_sock_;
    PrepareListening(listening_);
    for (auto& lane : lanes_) lane->Start([this](Job& job) { Work(job); }, [this](Job& job) { HandBack(job); });
    bool stopping = false;
    std::vector<Watched> watched;
    for (;;) {
      if (stop_ && !stopping) {
        stopping = true;
        StopAccepting();
        for (auto& lane : lanes_) {
          for (Job& job : lane->Stop()) {
            --working_;
            Close(*job.conn);
          }
        }
      }
      TakeBack();
      Compact();
      const auto now = Clock::now();
      if (stopping) {
        // Only answers that workers finished are still written.
        for (auto& c : conns_)
          if (c && c->out.size() == c->written) Drop(c);
        Compact();
        if (conns_.empty() && working_ == 0) break;
      }
      watched.clear();
      watched.push_back({waker_.handle(), true, false});
      const bool accepting = listening_ != INVALID_SOCKET && now >= acceptRest_;
      if (accepting) watched.push_back({listening_, true, false});
      const std::size_t first = watched.size();
      auto wait = kLongestWait;
      if (!accepting && listening_ != INVALID_SOCKET) wait = std::min(wait, Left(acceptRest_, now));
      for (const auto& c : conns_) {
        watched.push_back({c->sock, WantsToRead(*c), c->out.size() > c->written});
        if (c->out.size() > c->written) wait = std::min(wait, Left(c->writeDeadline, now));
        if (c->phase != Connection::Phase::Closing) wait = std::min(wait, Left(c->deadline, now));
      }
      WaitAny(watched, static_cast<int>(wait.count()));
      if (watched[0].readable) waker_.Drain();
      // New connections are looked at after the ones the wait was about.
      const std::size_t held = conns_.size();
      for (std::size_t i = 0; i < held; ++i) {
        if (!conns_[i]) continue;
        if (watched[first + i].writable) Flush(conns_[i]);
        if (conns_[i] && watched[first + i].readable) Read(conns_[i]);
      }
      if (accepting && watched[1].readable) Accept();
      Expire();
      Compact();
    }
    for (auto& lane : lanes_) lane->Join();
  }

 private:
  static std::chrono::milliseconds Left(Clock::time_point when, Clock::time_point now) {
    return std::max(std::chrono::milliseconds(0), std::chrono::duration_cast<std::chrono::milliseconds>(when - now) +
                                                      std::chrono::milliseconds(1));
  }

  bool WantsToRead(const Connection& c) const {
    if (c.phase == Connection::Phase::Draining) return true;
    // A whole request waits for its answer to be written before it is served: no more is read.
    return c.phase == Connection::Phase::Reading && c.in.size() < (c.framed ? c.whole : limits_.maxHead + 1);
  }

  void StopAccepting() {
    if (listening_ == INVALID_SOCKET) return;
    server_.svr_sock_ = INVALID_SOCKET;
    CloseConnection(listening_);
    listening_ = INVALID_SOCKET;
  }

  void Accept() {
    for (;;) {
      socket_t sock = INVALID_SOCKET;
      std::string address;
      const Accepted got = AcceptConnection(listening_, sock, address);
      if (got == Accepted::OutOfDescriptors) acceptRest_ = Clock::now() + kAcceptRest;
      if (got != Accepted::Connection) return;
      if (conns_.size() + working_ >= limits_.connections) {
        CloseConnection(sock);
        continue;
      }
      PrepareConnection(sock);
      auto c = std::make_unique<Connection>();
      c->sock = sock;
      c->address = address;
      c->deadline = Clock::now() + limits_.idle;
      std::size_t& open = perAddress_[address];
      if (open >= limits_.connectionsPerAddress) {
        // Answered and closed at once: one client cannot hold every connection of the service.
        if (open == 0) perAddress_.erase(address);
        const std::string seconds = std::to_string(limits_.retryAfter.count());
        Refuse(*c, 503,
               "too many connections from " + address + ": at most " + std::to_string(limits_.connectionsPerAddress) +
                   " are open at once; close one or try again in " + seconds + " s",
               "Retry-After: " + seconds + "\r\n");
      } else {
        ++open;
        c->counted = true;
      }
      conns_.push_back(std::move(c));
      Flush(conns_.back());
    }
  }

  void Read(std::unique_ptr<Connection>& slot) {
    Connection& c = *slot;
    char chunk[16384];
    for (;;) {
      if (!WantsToRead(c)) return;
      const long n = net::Receive(static_cast<net::Socket>(c.sock), chunk, sizeof chunk);
      if (n == net::kWouldBlock) return;
      if (n <= 0) {
        // The client closed or failed: a request it left unfinished is not answered.
        Drop(slot);
        return;
      }
      if (c.phase == Connection::Phase::Draining) continue;
      c.in.append(chunk, static_cast<std::size_t>(n));
      Advance(slot);
      if (!slot) return;
    }
  }

  // Takes the request in the buffer as far as it has arrived: its head is checked line by line as
  // the lines arrive, a bad one refused at once, and a whole request goes to its lane.
  void Advance(std::unique_ptr<Connection>& slot) {
    Connection& c = *slot;
    if (stop_ || c.phase != Connection::Phase::Reading || c.in.empty() || c.out.size() > c.written) return;
    if (!c.started) {
      c.started = true;
      c.deadline = Clock::now() + limits_.request;
    }
    if (!c.framed) {
      const HeadChecker::State state = c.checker.Check(c.in);
      if (state == HeadChecker::State::Malformed) return Refuse(c, 400, c.checker.problem());
      const std::string tooLong = "the request line and headers pass " + std::to_string(limits_.maxHead) + " bytes";
      if (state == HeadChecker::State::Incomplete) {
        if (c.in.size() > limits_.maxHead) Refuse(c, 431, tooLong);
        return;
      }
      const std::size_t headEnd = c.checker.headEnd();
      if (headEnd > limits_.maxHead) return Refuse(c, 431, tooLong);
      const FramedHead head = FrameHead(std::string_view(c.in).substr(0, headEnd), limits_.maxBody);
      if (head.status != 0) return Refuse(c, head.status, head.message);
      c.framed = true;
      c.whole = headEnd + 4 + head.bodyLength;
      c.emptyKey = head.emptyIdempotencyKey;
      if (head.expectContinue && c.in.size() < c.whole) {
        Send(c, "HTTP/1.1 100 Continue\r\n\r\n");
        // Written at once to a connection that has just sent its head, or at the next wait.
        return Flush(slot);
      }
    }
    if (c.in.size() >= c.whole) Dispatch(slot);
  }

  void Dispatch(std::unique_ptr<Connection>& slot) {
    Connection& c = *slot;
    Job job;
    job.request = c.in.substr(0, c.whole);
    c.in.erase(0, c.whole);
    c.checker = HeadChecker();
    c.started = c.framed = false;
    c.whole = 0;
    const std::string_view line = std::string_view(job.request).substr(0, job.request.find("\r\n"));
    const std::size_t space = line.find(' ');
    const std::string_view target = line.substr(space + 1, line.rfind(' ') - space - 1);
    std::size_t lane = sorter_ ? sorter_(TargetPath(target)) : 0;
    if (lane >= lanes_.size()) lane = 0;
    job.conn = std::move(slot);
    if (lanes_[lane]->Offer(job)) {
      ++working_;
      return;
    }
    // The lane is full: the routing answers the request here, without running it.
    slot = std::move(job.conn);
    tOverflowing = true;
    Route(*slot, std::move(job.request));
    tOverflowing = false;
    Answered(slot);
  }

  // Routes a request of the connection; the answer goes to its output.
  void Route(Connection& c, std::string request) {
    const bool emptyKey = c.emptyKey;
    RequestStream stream(std::move(request), c.sock, c.out);
    bool closed = false;
    const bool last = ++c.served == limits_.requestsPerConnection;
    const bool answered = server_.process_request(stream, last, closed, [emptyKey](httplib::Request& req) {
      // Answered by the loop already; the library would send a second one.
      req.headers.erase("Expect");
      // The library drops a header without a value; an empty key is refused, not taken as none.
      if (emptyKey && !req.has_header("Idempotency-Key")) req.headers.emplace("Idempotency-Key", "");
    });
    c.closeAfter = !answered || closed || last;
  }

  // A worker's part: the request routed; then the connection, its answer in its output, handed
  // back to the loop.
  void Work(Job& job) { Route(*job.conn, std::move(job.request)); }
  void HandBack(Job& job) {
    {
      std::lock_guard lock(returnedMutex_);
      returned_.push_back(std::move(job.conn));
    }
    waker_.Wake();
  }

  void TakeBack() {
    std::vector<std::unique_ptr<Connection>> back;
    {
      std::lock_guard lock(returnedMutex_);
      back.swap(returned_);
    }
    for (auto& c : back) {
      --working_;
      conns_.push_back(std::move(c));
      Answered(conns_.back());
    }
  }

  // The connection's answer is in its output: it is written, and the connection then waits for
  // its next request (one sent already is taken at once) or closes.
  void Answered(std::unique_ptr<Connection>& slot) {
    Connection& c = *slot;
    c.writeDeadline = Clock::now() + limits_.write;
    c.deadline = Clock::now() + limits_.idle;
    if (c.closeAfter) c.phase = Connection::Phase::Closing;
    Flush(slot);
  }

  void Send(Connection& c, std::string_view bytes) {
    if (c.out.size() == c.written) c.writeDeadline = Clock::now() + limits_.write;
    c.out.append(bytes);
  }

  // A refusal closes the connection after it: what follows in it cannot be framed.
  void Refuse(Connection& c, int status, const std::string& message, const std::string& extraHeader = "") {
    Send(c, Refusal(status, message, extraHeader));
    c.phase = Connection::Phase::Closing;
    c.linger = true;
  }

  void Flush(std::unique_ptr<Connection>& slot) {
    Connection& c = *slot;
    while (c.written < c.out.size()) {
      const long n = net::Send(static_cast<net::Socket>(c.sock), c.out.data() + c.written, c.out.size() - c.written);
      if (n == net::kWouldBlock) return;
      if (n <= 0) return Drop(slot);
      c.written += static_cast<std::size_t>(n);
    }
    c.out.clear();
    c.written = 0;
    if (c.phase == Connection::Phase::Closing) {
      if (!c.linger) return Drop(slot);
      // The client may still be sending the request that was refused: closing with its bytes
      // unread would reset the connection and could lose the refusal on the way. Its end is
      // closed first and what still comes is read away for a moment.
      ShutdownSending(c.sock);
      c.phase = Connection::Phase::Draining;
      c.deadline = Clock::now() + kLinger;
      return;
    }
    if (c.phase == Connection::Phase::Reading) Advance(slot);
  }

  void Expire() {
    const auto now = Clock::now();
    for (auto& slot : conns_) {
      if (!slot) continue;
      Connection& c = *slot;
      if (c.out.size() > c.written) {
        if (now >= c.writeDeadline) Drop(slot);
        continue;
      }
      if (now < c.deadline) continue;
      if (c.phase == Connection::Phase::Reading && c.started) {
        Refuse(c, 408, "the request did not arrive whole in time");
        Flush(slot);
      } else {
        Drop(slot);
      }
    }
  }

  void Close(Connection& c) {
    CloseConnection(c.sock);
    if (!c.counted) return;
    const auto open = perAddress_.find(c.address);
    if (open != perAddress_.end() && --open->second == 0) perAddress_.erase(open);
  }

  void Drop(std::unique_ptr<Connection>& slot) {
    Close(*slot);
    slot.reset();
  }

  void Compact() {
    conns_.erase(std::remove(conns_.begin(), conns_.end(), nullptr), conns_.end());
  }

  BoundedServer& server_;
  const ConnectionLimits& limits_;
  const Sorter sorter_;
  std::vector<std::unique_ptr<Lane>> lanes_;
  Waker waker_;
  std::atomic<bool> stop_{false};
  socket_t listening_ = INVALID_SOCKET;
  Clock::time_point acceptRest_{};
  std::vector<std::unique_ptr<Connection>> conns_;  // the connections the loop holds
  std::size_t working_ = 0;                         // the connections workers hold
  std::map<std::string, std::size_t> perAddress_;
  std::mutex returnedMutex_;
  std::vector<std::unique_ptr<Connection>> returned_;
};

BoundedServer::BoundedServer(const ConnectionLimits& limits, std::size_t registratorLanes, Sorter sorter)
    : limits_(limits), reception_(std::make_unique<Reception>(*this, registratorLanes, std::move(sorter))) {
  set_payload_max_length(limits_.maxBody);
  // The library writes these into its Keep-Alive answer header.
  set_keep_alive_timeout(std::max<time_t>(1, std::chrono::duration_cast<std::chrono::seconds>(limits_.idle).count()));
  set_keep_alive_max_count(limits_.requestsPerConnection);
}

BoundedServer::~BoundedServer() {
  if (svr_sock_ != INVALID_SOCKET) CloseConnection(svr_sock_);
}

void BoundedServer::WidenBacklog() {
  // listen() again on a listening socket changes its backlog.
  if (svr_sock_ != INVALID_SOCKET) WidenListenBacklog(svr_sock_);
}

void BoundedServer::Serve() { reception_->Run(); }

void BoundedServer::Stop() { reception_->RequestStop(); }

std::size_t BoundedServer::LaneLoad(std::size_t lane) const { return reception_->Load(lane); }

bool BoundedServer::Overflowing() { return tOverflowing; }

}  // namespace kovrix::server
