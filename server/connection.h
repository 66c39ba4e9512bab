#pragma once
// The service's own handling of HTTP connections, under the HTTP library's routing. The library
// gives each connection a thread for as long as it is open, reads a request a line at a time
// with a time-out per read, and loses requests that a client sends before the previous answer;
// here one loop holds every open connection instead, reads each request whole (head and body,
// within a bounded time, its length from Content-Length alone, none = no body), and only then
// hands it to a worker of its lane, which routes it from memory and leaves the answer for the
// loop to write. Each registrator has a lane of its own with one worker and a bounded number of
// requests waiting, so a registrator that stays silent holds up its own requests only; the
// requests that address no registrator share one lane of a few workers.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <httplib.h>

namespace kovrix::server {

struct ConnectionLimits {
  std::chrono::milliseconds request{5000};  // the whole request, from its first byte
  std::chrono::milliseconds idle{2000};     // waiting for the next request of a connection
  std::chrono::milliseconds write{5000};    // the whole answer
  std::size_t maxHead = 16 * 1024;          // request line and headers
  std::size_t maxBody = 1 << 20;
  std::size_t requestsPerConnection = 100;
  // Connections open at once from one client address; one more is answered 503 and closed.
  std::size_t connectionsPerAddress = 128;
  // Connections open at once in all; one more is closed at once.
  std::size_t connections = 4096;
  // Whole requests that may wait for a registrator's lane; one more is answered 503 "busy".
  std::size_t waitingPerRegistrator = 16;
  // The shared lane: its workers, and the whole requests that may wait for them.
  std::size_t sharedWorkers = 8;
  std::size_t waitingShared = 64;
  // What a 503 for a full lane or too many connections gives as Retry-After.
  std::chrono::seconds retryAfter{1};
};

/// What the head of a request says about its framing.
struct FramedHead {
  int status = 0;  // 0 when the request can be read; otherwise the status of the refusal
  std::string message;
  std::size_t bodyLength = 0;
  bool expectContinue = false;
  bool emptyIdempotencyKey = false;  // the header is given with nothing in it
};

/// Answers what is wrong with one line of a request head (without its CR LF), empty when
/// nothing: the request line is METHOD SP TARGET SP HTTP/1.x; a header line is a token name
/// right before its colon (no blank, control byte or separator in it, no blank at the start,
/// which would be obsolete line folding) and a value without control bytes other than tab.
std::string HeadLineProblem(std::string_view line, bool requestLine);

/// Checks a request head line by line while its bytes arrive, so that a malformed line is
/// refused as soon as it is whole, not after the rest of the head or a time-out: every line ends
/// with CR LF (a bare LF or CR is refused) and passes HeadLineProblem.
class HeadChecker {
 public:
  enum class State { Incomplete, Malformed, Whole };
  /// Checks the lines of bytes (the connection's buffer, from the request's first byte) that
  /// were not checked yet.
  State Check(std::string_view bytes);
  /// Where the blank line that ends the head starts (when Whole).
  std::size_t headEnd() const { return headEnd_; }
  /// Why the head is malformed (when Malformed).
  const std::string& problem() const { return problem_; }

 private:
  std::size_t checked_ = 0;  // the bytes of whole lines checked already
  std::size_t lines_ = 0;
  std::size_t headEnd_ = 0;
  std::string problem_;
};

/// Reads the head of a request (from the request line up to, not including, the blank line):
/// every line must pass HeadLineProblem and end with CR LF (else 400); Content-Length must be
/// one decimal number (several equal ones are one), at most maxBody (else 413); a missing one
/// means no body; Transfer-Encoding is refused (411); Host given twice is 400.
FramedHead FrameHead(std::string_view head, std::size_t maxBody);

/// Answers the path of a request target as the routing sees it: the query cut off and
/// percent-escapes decoded.
std::string TargetPath(std::string_view target);

/// An HTTP server whose connections are held and read under ConnectionLimits, its requests
/// served in lanes: lane 0 is shared by several workers, lanes 1..registrators have one each.
class BoundedServer : public httplib::Server {
 public:
  /// Answers the lane of a request from its path (as TargetPath gives it).
  using Sorter = std::function<std::size_t(const std::string& path)>;

  BoundedServer(const ConnectionLimits& limits, std::size_t registratorLanes, Sorter sorter);
  ~BoundedServer() override;

  /// Lets many connections wait to be accepted (the library asks for 5): a burst of clients
  /// that comes before the loop runs then waits instead of being turned away. Call after binding.
  void WidenBacklog();

  /// Serves the bound socket (bind_to_port or bind_to_any_port first) until Stop. After Stop the
  /// requests that workers are serving are finished and answered; those waiting are dropped.
  void Serve();
  /// Stops serving (from any thread, also before Serve has started).
  void Stop();

  /// Answers the requests of a lane that are being served or wait.
  std::size_t LaneLoad(std::size_t lane) const;

  /// Answers whether the request being routed on the calling thread found its lane full: the
  /// routing then answers it 503 without running it.
  static bool Overflowing();

 private:
  class Reception;
  ConnectionLimits limits_;
  std::unique_ptr<Reception> reception_;
};

}  // namespace kovrix::server
